#include "files/batch_file.h"
#include "files/list_file.h"
#include "files/safe_write.h"
#include "support/read_only_folder.h"
#include "support/unprivileged.h"
#include "test_helpers.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <functional>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace xcpy {
namespace {

QStringList entries(const QString& folder) {
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
}

// A list emptied and saved is an empty file, not a missing one.
TEST(SafeWrite, existingFile_replacedWithNoTemporaryLeft) {
    QTemporaryDir dir;
    const QString path = dir.filePath("list.xcpy");
    ASSERT_TRUE(writeFileSafely(path, QByteArray("old")).ok());
    ASSERT_TRUE(writeFileSafely(path, QByteArray()).ok());
    EXPECT_TRUE(QFileInfo(path).isFile() && QFileInfo(path).size() == 0);
    EXPECT_EQ(entries(dir.path()), QStringList{"list.xcpy"});
}

// A device that takes a few bytes per call.
class TrickleDevice : public QIODevice {
public:
    TrickleDevice() { open(QIODevice::WriteOnly); }
    QByteArray written;

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char* data, qint64 size) override {
        const qint64 n = std::min<qint64>(size, 7);
        written.append(data, n);
        return n;
    }
};

TEST(SafeWrite, shortDeviceWrites_areRetriedToTheEnd) {
    const QByteArray bytes(1000, 'x');
    TrickleDevice device;
    EXPECT_TRUE(writeAllBytes(device, bytes, "a.bat").ok());
    EXPECT_EQ(device.written, bytes);
}

QString messageOf(const FileWriteResult& result) {
    return result.ok() ? QStringLiteral("saved") : result.message;
}

// Rows whose list and batch files hold at least the given number of bytes.
QList<BatchEntry> rowsOfAtLeast(qsizetype bytes) {
    QList<BatchEntry> rows;
    for (qsizetype size = 0; size < bytes; size += 50) // a list line is 53 bytes
        rows.append({"/src/" + QString(20, 'a'), "/dst/" + QString(20, 'b'), CheckMark::OK});
    return rows;
}

TEST(SafeWrite, fileSizeLimit_failsEveryWriterAndKeepsTheOldFileByteForByte) {
    QTemporaryDir dir;
    const QString path = dir.filePath("target");
    const QByteArray old = "old file\r\n";
    using Writer = std::function<FileWriteResult(const QList<BatchEntry>&)>;
    const std::pair<const char*, Writer> writers[] = {
        {"list", [&](const auto& rows) { return saveListFile(path, rows); }},
        {"batch",
         [&](const auto& rows) { return saveBatchFile(path, rows, "/D ", BatchKind::CopyLines); }},
        {"run",
         [&](const auto& rows) { return saveBatchFile(path, rows, "", BatchKind::RunFile); }},
    };
    // Sizes below the write buffers of the file classes too, where only a final flush fails.
    for (const rlim_t limit : {rlim_t(0), rlim_t(1), rlim_t(10 * 1024), rlim_t(100 * 1024)}) {
        for (const auto& [name, write] : writers) {
            SCOPED_TRACE(std::string(name) + " limit " + std::to_string(limit));
            ASSERT_TRUE(writeBytes(path, old));
            const QList<BatchEntry> rows = rowsOfAtLeast(qsizetype(limit) + 2000);
            EXPECT_TRUE(test::inChildProcess([&] {
                std::signal(SIGXFSZ, SIG_IGN);
                const rlimit fileSize{limit, limit};
                ::setrlimit(RLIMIT_FSIZE, &fileSize);
                const QString message = messageOf(write(rows));
                const bool named = message.contains("ディスクがいっぱい") &&
                                   message.contains("元のファイルはそのまま");
                if (!named)
                    std::fprintf(stderr, "%s\n", qPrintable(message));
                return named;
            }));
            EXPECT_EQ(readBytes(path), old);
            EXPECT_EQ(entries(dir.path()), QStringList{"target"});
        }
    }
}

TEST(SafeWrite, writeErrors_nameTheirRealCause) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root for a read-only mount and for writing as another user";
    QTemporaryDir dir;
    const test::ReadOnlyFolder readOnly;
    if (!readOnly.unavailable.isEmpty())
        GTEST_SKIP() << qPrintable(readOnly.unavailable);
    QDir().mkpath(dir.filePath("root-only"));
    QFile::setPermissions(dir.path(), QFile::permissions(dir.path()) | QFile::ExeOther);
    const struct {
        QString target;
        bool asOtherUser;
        const char* cause;
    } cases[] = {
        {dir.filePath("gone/x.bat"), false, "保存先のフォルダ"},
        {dir.filePath("root-only/x.bat"), true, "書き込む権限がない"},
        {readOnly.filePath("x.bat"), false, "読み取り専用のファイルシステム"},
        {readOnly.filePath("data/x.bat"), false, "読み取り専用のファイルシステム"}, // never made
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.target.toStdString());
        const auto message = [&] { return messageOf(writeFileSafely(c.target, QByteArray("x"))); };
        if (c.asOtherUser)
            EXPECT_TRUE(test::asUnprivilegedUser([&] { return message().contains(c.cause); }));
        else
            EXPECT_TRUE(message().contains(c.cause)) << message().toStdString();
    }
}

} // namespace
} // namespace xcpy
