#include "batchlist/folder_check.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <unistd.h>

namespace xcpy {
namespace {

class batchlist_FolderCheck : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_root.isValid());
        QDir root(m_root.path());
        ASSERT_TRUE(root.mkpath("src/sub"));
        ASSERT_TRUE(root.mkpath("dst"));
        ASSERT_TRUE(root.mkpath("empty"));
        QFile file(path("file.txt"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("x");
    }

    QString path(const QString& name) const { return m_root.path() + '/' + name; }

    QTemporaryDir m_root;
};

TEST_F(batchlist_FolderCheck, folderPairs_markOkOnlyWhenBothAreListableDirectories) {
    const QString missing = path("missing");
    const QString file = path("file.txt");
    const struct {
        const char* name;
        QString source;
        QString destination;
        CheckMark expected;
    } cases[] = {
        {"both present", path("src"), path("dst"), CheckMark::OK},
        {"nested", path("src/sub"), path("dst"), CheckMark::OK},
        {"empty folder", path("empty"), path("empty"), CheckMark::OK},
        {"source missing", missing, path("dst"), CheckMark::NG},
        {"destination missing", path("src"), missing, CheckMark::NG},
        {"both missing", missing, missing, CheckMark::NG},
        {"source is a file", file, path("dst"), CheckMark::NG},
        {"destination is a file", path("src"), file, CheckMark::NG},
        {"trailing separator", path("src/"), path("dst/"), CheckMark::OK},
        {"several trailing separators", path("src///"), path("dst//"), CheckMark::OK},
        {"file with trailing separator", file + '/', path("dst"), CheckMark::NG},
        {"empty source text", QString(), path("dst"), CheckMark::NG},
        {"empty destination text", path("src"), QString(), CheckMark::NG},
        {"NUL cuts to an existing folder", path("src") + QChar(u'\0') + "x", path("dst"),
         CheckMark::NG},
        {"filesystem root", "/", path("dst"), CheckMark::OK},
    };
    for (const auto& c : cases)
        EXPECT_EQ(checkFolders(c.source, c.destination), c.expected) << c.name;
}

TEST_F(batchlist_FolderCheck, directoryWithoutReadRight_isNotAFolder) {
    if (::geteuid() == 0)
        GTEST_SKIP() << "root can list any directory";
    const QString locked = path("locked");
    ASSERT_TRUE(QDir().mkdir(locked));
    // Search right only: the folder can be passed through but not listed.
    ASSERT_TRUE(QFile::setPermissions(locked, QFile::ExeOwner | QFile::WriteOwner));
    EXPECT_FALSE(folderExists(locked));
    EXPECT_EQ(checkFolders(locked, path("dst")), CheckMark::NG);
    EXPECT_EQ(checkFolders(path("src"), locked + '/'), CheckMark::NG);
    QFile::setPermissions(locked, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

} // namespace
} // namespace xcpy
