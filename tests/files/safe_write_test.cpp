#include "common/write_cause.h"
#include "files/batch_file.h"
#include "files/list_file.h"
#include "files/safe_write.h"
#include "support/unprivileged.h"
#include "test_helpers.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <sys/resource.h>

namespace xcpy {
namespace {

QString messageOf(const FileWriteResult& result) {
    return result.ok() ? QStringLiteral("saved") : result.message;
}

TEST(SafeWrite, fileSizeLimit_failsEveryWriterAndKeepsTheOldFileByteForByte) {
    QTemporaryDir dir;
    const QString path = dir.filePath("target");
    const QByteArray old = "old file\r\n";
    using Writer = std::function<FileWriteResult(const QList<BatchEntry>&)>;
    const std::pair<const char*, Writer> writers[] = {
        {"list", [&](const auto& rows) { return saveListFile(path, rows); }},
        {"run",
         [&](const auto& rows) { return saveBatchFile(path, rows, "", BatchKind::RunFile); }},
    };
    // Sizes below the write buffers of the file classes too, where only a final flush fails.
    for (const rlim_t limit : {rlim_t(0), rlim_t(1), rlim_t(10 * 1024), rlim_t(100 * 1024)}) {
        QList<BatchEntry> rows; // a list line is 53 bytes
        while (rows.size() * 50 < qsizetype(limit) + 2000)
            rows.append({"/src/" + QString(20, 'a'), "/dst/" + QString(20, 'b'), CheckMark::OK});
        for (const auto& [name, write] : writers) {
            SCOPED_TRACE(std::string(name) + " limit " + std::to_string(limit));
            ASSERT_TRUE(writeBytes(path, old));
            EXPECT_TRUE(test::inChildProcess([&] {
                std::signal(SIGXFSZ, SIG_IGN);
                const rlimit fileSize{limit, limit};
                ::setrlimit(RLIMIT_FSIZE, &fileSize);
                const QString message = messageOf(write(rows));
                std::fprintf(stderr, "%s\n", qPrintable(message));
                return message.contains("ディスクがいっぱい") &&
                       message.contains("元のファイルはそのまま");
            }));
            EXPECT_EQ(readBytes(path), old);
            EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
                      QStringList{"target"});
        }
    }
}

// A disk that is really full: the cause is the full disk, not a lack of rights, and the old file
// stays. Quotas report EDQUOT, which is the same to the user.
TEST(SafeWrite, fullDisk_isNamedAsTheCauseAndKeepsTheOldFile) {
    EXPECT_EQ(writeCauseOf(EDQUOT), WriteCause::DiskFull);
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to mount a small memory file system";
    QTemporaryDir dir;
    const QByteArray point = QFile::encodeName(dir.filePath("disk"));
    QDir().mkpath(dir.filePath("disk"));
    if (std::system(("mount -t tmpfs -o size=64k tmpfs '" + point + "'").constData()) != 0)
        GTEST_SKIP() << "a tmpfs could not be mounted here";
    const QString path = dir.filePath("disk/list.xcpy");
    const QByteArray old = "old=file\r\n";
    ASSERT_TRUE(writeBytes(path, old));
    QList<BatchEntry> rows(4000,
                           {"/src/" + QString(40, 'a'), "/dst/" + QString(40, 'b'), CheckMark::OK});
    const QString message = messageOf(saveListFile(path, rows));
    EXPECT_TRUE(message.contains("ディスクがいっぱい")) << qPrintable(message);
    EXPECT_EQ(readBytes(path), old);
    EXPECT_EQ(QDir(dir.filePath("disk")).entryList(QDir::Files | QDir::Hidden),
              QStringList{"list.xcpy"});
    std::system(("umount '" + point + "'").constData());
}

// Missing folders and read-only file systems are named in the window's and settings store's tests.
TEST(SafeWrite, folderWithoutPermission_isNamedAsTheCause) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to write as another user";
    QTemporaryDir dir;
    QDir().mkpath(dir.filePath("owned"));
    QFile::setPermissions(dir.path(), QFile::permissions(dir.path()) | QFile::ExeOther);
    EXPECT_TRUE(test::asUnprivilegedUser([&] {
        const QString message = messageOf(writeFileSafely(dir.filePath("owned/x.bat"), "x"));
        std::fprintf(stderr, "%s\n", qPrintable(message));
        return message.contains("書き込む権限がない");
    }));
}

} // namespace
} // namespace xcpy
