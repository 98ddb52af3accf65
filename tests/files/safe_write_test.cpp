#include "files/safe_write.h"
#include "test_helpers.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <algorithm>

namespace xcpy {
namespace {

TEST(SafeWrite, existingFile_replacedWithNoTemporaryLeft) {
    QTemporaryDir dir;
    const QString path = dir.filePath("list.xcpy");
    ASSERT_TRUE(writeFileSafely(path, QByteArray("old")).ok());
    ASSERT_TRUE(writeFileSafely(path, QByteArray("new")).ok());
    EXPECT_EQ(readBytes(path), "new");
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList{"list.xcpy"});
    ASSERT_TRUE(writeFileSafely(path, QByteArray()).ok()); // an empty file, not a missing one
    EXPECT_TRUE(QFile::exists(path));
    EXPECT_EQ(QFileInfo(path).size(), 0);
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
        if (n <= 0)
            setErrorString(QStringLiteral("No space left on device"));
        else
            written.append(data, n);
        return n <= 0 ? -1 : n;
    }

private:
    qint64 capacity_, chunk_;
};

TEST(SafeWrite, deviceWrites_retryShortWritesAndReportAFullDisk) {
    const QByteArray bytes(1000, 'x');
    FillingDevice roomy(2000, 7);
    EXPECT_TRUE(writeAllBytes(roomy, bytes, "a.bat").ok());
    EXPECT_EQ(roomy.written, bytes);
    FillingDevice full(500, 64);
    const FileWriteResult result = writeAllBytes(full, bytes, "a.bat");
    ASSERT_FALSE(result.ok());
    for (const char* part : {"「a.bat」", "空き容量", "No space left on device"})
        EXPECT_TRUE(result.message.contains(part)) << result.message.toStdString();
}

} // namespace
} // namespace xcpy
