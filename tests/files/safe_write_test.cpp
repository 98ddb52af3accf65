#include "files/safe_write.h"
#include "test_helpers.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <algorithm>
#include <unistd.h>

namespace xcpy {
namespace {

const QByteArray oldBytes("C:\\old=D:\\old\r\n");
const QByteArray newBytes("C:\\new=D:\\new\r\n");

QStringList entries(const QString& folder) {
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                                  QDir::Name);
}

bool writeRaw(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// A device that accepts a few bytes per call and then fails, like a filling disk.
class FillingDevice : public QIODevice {
public:
    FillingDevice(qint64 capacity, qint64 chunk) : capacity_(capacity), chunk_(chunk) {
        open(QIODevice::WriteOnly);
    }
    QByteArray written;

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char* data, qint64 size) override {
        const qint64 n = std::min({size, chunk_, capacity_ - written.size()});
        if (n <= 0) {
            setErrorString(QStringLiteral("No space left on device"));
            return -1;
        }
        written.append(data, n);
        return n;
    }

private:
    qint64 capacity_;
    qint64 chunk_;
};

TEST(SafeWrite, existingFile_replacedWithNoTemporaryLeft) {
    QTemporaryDir dir;
    const QString path = dir.filePath("list.xcpy");
    ASSERT_TRUE(writeRaw(path, oldBytes));
    const FileWriteResult result = writeFileSafely(path, newBytes);
    ASSERT_TRUE(result.ok()) << result.message.toStdString();
    EXPECT_EQ(readBytes(path), newBytes);
    EXPECT_EQ(entries(dir.path()), QStringList{"list.xcpy"});
    // An empty list is an empty file, not a missing one.
    ASSERT_TRUE(writeFileSafely(path, QByteArray()).ok());
    EXPECT_TRUE(QFile::exists(path));
    EXPECT_EQ(QFileInfo(path).size(), 0);
}

TEST(SafeWrite, impossibleTargets_failWithCauseAndTouchNothing) {
    QTemporaryDir dir;
    ASSERT_TRUE(writeRaw(dir.filePath("plain-file"), oldBytes));
    ASSERT_TRUE(QDir(dir.path()).mkdir("folder"));
    struct Case {
        const char* name;
        QString path;
        QString cause;
    };
    const Case cases[] = {
        {"folder does not exist", dir.filePath("missing/list.xcpy"), "がありません"},
        {"parent is a regular file", dir.filePath("plain-file/list.xcpy"),
         "フォルダではありません"},
        {"target is a folder", dir.filePath("folder"), "同じ名前のフォルダ"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const FileWriteResult result = writeFileSafely(c.path, newBytes);
        ASSERT_FALSE(result.ok());
        EXPECT_TRUE(result.message.contains(c.cause)) << result.message.toStdString();
        EXPECT_FALSE(result.rowError.has_value());
        EXPECT_EQ(entries(dir.path()), (QStringList{"folder", "plain-file"}));
        EXPECT_TRUE(entries(dir.filePath("folder")).isEmpty());
        EXPECT_EQ(readBytes(dir.filePath("plain-file")), oldBytes);
    }
}

TEST(SafeWrite, withoutPermission_failsAndKeepsOldFile) {
    if (geteuid() == 0)
        GTEST_SKIP() << "root may write anywhere";
    QTemporaryDir dir;
    const QString readOnlyFile = dir.filePath("read-only.xcpy");
    ASSERT_TRUE(writeRaw(readOnlyFile, oldBytes));
    QFile::setPermissions(readOnlyFile, QFile::ReadOwner);
    FileWriteResult result = writeFileSafely(readOnlyFile, newBytes);
    EXPECT_FALSE(result.ok());
    EXPECT_TRUE(result.message.contains("読み取り専用")) << result.message.toStdString();
    EXPECT_EQ(readBytes(readOnlyFile), oldBytes);

    ASSERT_TRUE(QDir(dir.path()).mkdir("locked"));
    const QString inLocked = dir.filePath("locked/list.xcpy");
    ASSERT_TRUE(writeRaw(inLocked, oldBytes));
    QFile::setPermissions(dir.filePath("locked"), QFile::ReadOwner | QFile::ExeOwner);
    result = writeFileSafely(inLocked, newBytes);
    QFile::setPermissions(dir.filePath("locked"),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    EXPECT_FALSE(result.ok());
    EXPECT_TRUE(result.message.contains("権限")) << result.message.toStdString();
    EXPECT_EQ(readBytes(inLocked), oldBytes);
    EXPECT_EQ(entries(dir.filePath("locked")), QStringList{"list.xcpy"});
}

TEST(SafeWrite, deviceWrites_retryShortWritesAndReportAFullDisk) {
    const QByteArray bytes(1000, 'x');
    FillingDevice roomy(2000, 7);
    EXPECT_TRUE(writeAllBytes(roomy, bytes, "a.bat").ok());
    EXPECT_EQ(roomy.written, bytes);

    FillingDevice full(500, 64);
    const FileWriteResult result = writeAllBytes(full, bytes, "a.bat");
    ASSERT_FALSE(result.ok());
    EXPECT_TRUE(result.message.contains("「a.bat」")) << result.message.toStdString();
    EXPECT_TRUE(result.message.contains("空き容量")) << result.message.toStdString();
    EXPECT_TRUE(result.message.contains("No space left on device"));
}

} // namespace
} // namespace xcpy
