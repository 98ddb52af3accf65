#include "batchlist/folder_check.h"
#include "batchlist/folder_probe.h"
#include "batchlist/network_mounts.h"
#include "support/unprivileged.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMap>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>

namespace xcpy {
namespace {

using namespace std::chrono_literals;

TEST(batchlist_FolderCheck, folderPairs_markOkOnlyWhenBothAreListableDirectories) {
    QTemporaryDir root;
    const auto path = [&](const char* name) { return root.filePath(name); };
    QDir(root.path()).mkpath("src");
    QFile file(path("file.txt"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    const QString src = path("src");
    const struct {
        QString source, destination;
        CheckMark expected;
    } cases[] = {
        {path("missing"), src, CheckMark::NG},
        {path("file.txt"), src, CheckMark::NG},
        {path("src//"), path("src/"), CheckMark::OK},
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

// A folder test that answers "yes*" folders at once and holds "dead*" folders until released,
// counting the tests per folder. Shared with the probe's threads, which may outlive the test.
struct ScriptedFolders {
    std::mutex mutex;
    std::condition_variable released;
    bool open = false;
    QMap<QString, int> tests;

    bool test(const QString& folder) {
        std::unique_lock lock(mutex);
        ++tests[folder];
        if (folder.contains("dead"))
            released.wait_for(lock, 10s, [&] { return open; }); // never hangs the suite
        return folder.contains("yes");
    }
    int testsOf(const QStringList& folders) {
        const std::lock_guard lock(mutex);
        int sum = 0;
        for (const QString& folder : folders)
            sum += tests.value(folder);
        return sum;
    }
    void release() {
        const std::lock_guard lock(mutex);
        open = true;
        released.notify_all();
    }
};

TEST(batchlist_FolderProbe, silentFolders_countMissingWithinTheBoundAndAreNeverTestedTwice) {
    auto folders = std::make_shared<ScriptedFolders>();
    FolderProbe probe(
        {.bound = 300ms, .workers = 4, .maxThreads = 6},
        [folders](const QString& folder) { return folders->test(folder); },
        [] { return QStringList(); });
    QElapsedTimer clock;

    // Three silent folders in one batch cost one bound, not three; the reachable one still answers.
    clock.start();
    {
        const FolderProbe::Batch batch(probe, {"dead1", "dead2", "yes/c", "dead3", "yes/c/"});
        for (const char* folder : {"dead1", "dead2", "yes/c", "dead3", "yes/c/"})
            EXPECT_EQ(probe.exists(folder), QString(folder).startsWith("yes")) << folder;
    }
    EXPECT_LT(clock.elapsed(), 750); // one after the other: 900
    EXPECT_EQ(folders->testsOf({"yes/c", "yes/c/"}), 1);

    // A folder whose test is still pending is not tested again and answers at once; with every
    // thread stuck, folders count missing without a test until one comes back.
    clock.restart();
    EXPECT_EQ(probe.check("dead1", "dead2/"), CheckMark::NG);
    EXPECT_LT(clock.elapsed(), 250);
    EXPECT_EQ(probe.check("dead4", "dead5"), CheckMark::NG);
    EXPECT_EQ(probe.check("dead6", "dead7"), CheckMark::NG);
    clock.restart();
    EXPECT_FALSE(probe.exists("yes/d"));
    EXPECT_LT(clock.elapsed(), 250);
    EXPECT_EQ(folders->testsOf({"dead1", "dead2", "dead2/", "dead3", "dead4", "dead5", "dead6",
                                "dead7", "yes/d"}),
              6)
        << "at most maxThreads tests may be pending";

    // Once its stuck test has returned, a folder is tested afresh; that return may lag the
    // release a little, so ask until it has.
    folders->release();
    clock.restart();
    while (folders->testsOf({"dead1"}) < 2 && clock.elapsed() < 5000) {
        EXPECT_FALSE(probe.exists("dead1"));
        QThread::msleep(10);
    }
    EXPECT_EQ(folders->testsOf({"dead1"}), 2);
    EXPECT_TRUE(probe.exists("yes/d"));
}

TEST(batchlist_FolderProbe, aNetworkMountWithAStuckTest_isUnreachableForAllItsFolders) {
    auto folders = std::make_shared<ScriptedFolders>();
    FolderProbe probe(
        {.bound = 300ms, .workers = 4, .maxThreads = 8},
        [folders](const QString& folder) { return folders->test(folder); },
        [] {
            return QStringList{"/nas", "/nas/inner"};
        });
    QStringList dead;
    for (int i = 0; i < 40; ++i)
        dead << QStringLiteral("/nas/dead%1").arg(i);
    {
        const FolderProbe::Batch batch(probe, dead);
        for (const QString& folder : dead)
            EXPECT_FALSE(probe.exists(folder));
    }
    EXPECT_EQ(folders->testsOf(dead), 4) << "only the first tests on the mount run";
    EXPECT_TRUE(probe.exists("/home/yes"));      // threads are left for other folders
    EXPECT_TRUE(probe.exists("/nas/inner/yes")); // another mount inside it answers
    folders->release();

    const QByteArray table = "22 1 8:1 / / rw - ext4 /dev/sda1 rw\n"
                             "40 22 0:40 / /mnt/my\\040share rw shared:5 - cifs //srv/x rw\n"
                             "41 22 0:41 / /mnt/f rw - fuse.sshfs host: rw\n"
                             "42 22 8:17 / /media/usb rw - fuseblk /dev/sdb1 rw\n";
    EXPECT_EQ(networkMountPoints(table), QStringList({"/mnt/my share", "/mnt/f"}));
    EXPECT_EQ(mountPointOf({"/mnt/f", "/mnt/f/g"}, "/mnt/f/g/h/../x"), "/mnt/f/g");
    EXPECT_EQ(mountPointOf({"/mnt/f"}, "/mnt/fx"), "");
}

} // namespace
} // namespace xcpy
