#include "batchlist/folder_check.h"
#include "support/unprivileged.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace xcpy {
namespace {

TEST(batchlist_FolderCheck, folderPairs_markOkOnlyWhenBothAreListableDirectories) {
    QTemporaryDir root;
    const auto path = [&](const char* name) { return root.filePath(name); };
    QDir(root.path()).mkpath("src");
    QDir(root.path()).mkpath("empty");
    QFile file(path("file.txt"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    const QString src = path("src"), missing = path("missing");
    const struct {
        QString source, destination;
        CheckMark expected;
    } cases[] = {
        {src, path("empty"), CheckMark::OK},
        {missing, src, CheckMark::NG},
        {path("file.txt"), src, CheckMark::NG},
        {path("src//"), path("empty/"), CheckMark::OK},
        {QString(), src, CheckMark::NG},
        {src + QChar(u'\0') + "x", src, CheckMark::NG}, // a NUL does not cut the text
        {"/", src, CheckMark::OK},
    };
    for (const auto& c : cases)
        EXPECT_EQ(checkFolders(c.source, c.destination), c.expected)
            << c.source.toStdString() << " -> " << c.destination.toStdString();

    // Search right only: passable but not listable, for everyone.
    const QString locked = path("locked");
    ASSERT_TRUE(QDir().mkdir(locked));
    ASSERT_TRUE(QFile::setPermissions(locked, QFile::WriteOwner | QFile::ExeOwner |
                                                  QFile::ExeGroup | QFile::ExeOther));
    for (const QString& open : {root.path(), src})
        ASSERT_TRUE(QFile::setPermissions(open, QFile::ReadOwner | QFile::WriteOwner |
                                                    QFile::ExeOwner | QFile::ReadOther |
                                                    QFile::ExeOther));
    EXPECT_TRUE(test::asUnprivilegedUser([&] {
        return checkFolders(src, src) == CheckMark::OK &&
               checkFolders(locked, src) == CheckMark::NG &&
               checkFolders(src, locked + '/') == CheckMark::NG;
    }));
    QFile::setPermissions(locked, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

} // namespace
} // namespace xcpy
