#include "app/run_files_folder.h"
#include "support/unprivileged.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace xcpy {
namespace {

TEST(RunFilesFolder, programFolderWhenWritableElseTheUserDataFolderMadeOnDemand) {
    QTemporaryDir temp;
    const QString program = temp.filePath("bin"), data = temp.filePath("data/xcpylist");
    QDir().mkpath(program);
    EXPECT_EQ(chooseRunFilesFolder(program, data), program);
    EXPECT_FALSE(QDir(data).exists());

    EXPECT_EQ(chooseRunFilesFolder(temp.filePath("gone"), data), data);
    EXPECT_TRUE(QDir(data).exists());

    // A folder the user cannot write into, also when the tests run as root.
    for (const QString& folder : {temp.path(), program})
        QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner | QFile::ReadOther |
                                          QFile::ExeOther);
    EXPECT_TRUE(
        test::asUnprivilegedUser([&] { return chooseRunFilesFolder(program, data) == data; }));
    QFile::setPermissions(temp.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

} // namespace
} // namespace xcpy
