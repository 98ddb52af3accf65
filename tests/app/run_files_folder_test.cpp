#include "app/run_files_folder.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <unistd.h>

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

    if (geteuid() != 0) { // root may write into any folder
        QFile::setPermissions(program, QFile::ReadOwner | QFile::ExeOwner);
        EXPECT_EQ(chooseRunFilesFolder(program, data), data);
        QFile::setPermissions(program, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
}

} // namespace
} // namespace xcpy
