#include "batchlist/folder_probe.h"
#include "batchlist/network_mounts.h"
#include "common/missing_drive.h"
#include "support/unprivileged.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMap>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

#include <condition_variable>
#include <cstdio>
#include <mutex>

namespace xcpy {
namespace {

using namespace std::chrono_literals;

TEST(batchlist_FolderProbe, verdicts_sayWhichFolderIsWrongAndWhy_theMarkKeepsItsRule) {
    QTemporaryDir root;
    const auto path = [&](const char* name) { return root.filePath(name); };
    QDir(root.path()).mkpath("src");
    ASSERT_TRUE(QFile(path("file.txt")).open(QIODevice::WriteOnly));
    const QString src = path("src");
    using State = FolderVerdict::State;
    FolderProbe probe;
    const struct {
        QString folder;
        State expected;
    } folders[] = {
        {path("missing"), State::Missing},
        {path("file.txt"), State::FileInTheWay},
        {path("file.txt/below"), State::FileInTheWay},
        {path("src//"), State::Listable},
        {QString(), State::Empty},
        {src + QChar(u'\0') + "x", State::Missing}, // a NUL does not cut the text
        {"/", State::Listable},
    };
    for (const auto& f : folders)
        EXPECT_EQ(probe.examine(f.folder).state, f.expected) << f.folder.toStdString();

    const auto expectPair = [&](const QString& source, const QString& destination, CheckMark mark,
                                const QString& notes) {
        const PairVerdict pair = probe.check(source, destination);
        EXPECT_EQ(pair.mark(), mark) << source.toStdString() << " -> " << destination.toStdString();
        EXPECT_EQ(pair.notes(), notes);
    };
    expectPair(src, src + "/", CheckMark::OK, "");
    expectPair(path("missing"), path("file.txt"), CheckMark::NG,
               "元フォルダがありません\n先フォルダの場所にファイルがあります");
    expectPair("", path("new"), CheckMark::NG,
               "元フォルダが空欄です\n先フォルダはまだありません（コピーのときに作られます）");

    // A destination under a mount point of the system table that is not mounted: the folder
    // there is the bare mount point on the system disk, which the copy refuses; the mark stays.
    DriveFacts drives;
    drives.fstabPoints = {src.toStdString()};
    drives.exists = [](const std::string&) { return true; };
    const DriveFacts noTables{{}, {}, drives.exists, {}};
    PairVerdict unmounted{examineFolder(src, noTables), examineFolder(src + "/backup", drives)};
    EXPECT_EQ(unmounted.mark(), CheckMark::NG);
    EXPECT_EQ(unmounted.notes(),
              "先フォルダのドライブがありません（" + src + " はマウントされていません）");
    unmounted.destination = examineFolder(src, drives);
    EXPECT_EQ(unmounted.mark(), CheckMark::OK);
    EXPECT_EQ(unmounted.notes(),
              "先フォルダのドライブがありません（" + src + " はマウントされていません）");

    // Search right only: passable but not listable, for everyone; below it nothing can be seen.
    const QString locked = path("locked");
    ASSERT_TRUE(QDir().mkpath(locked + "/inner"));
    const QString closed = path("closed");
    ASSERT_TRUE(QDir().mkpath(closed + "/inner"));
    ASSERT_TRUE(QFile::setPermissions(locked, QFile::WriteOwner | QFile::ExeOwner |
                                                  QFile::ExeGroup | QFile::ExeOther));
    ASSERT_TRUE(
        QFile::setPermissions(closed, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    for (const QString& open : {root.path(), src})
        ASSERT_TRUE(QFile::setPermissions(open, QFile::ReadOwner | QFile::WriteOwner |
                                                    QFile::ExeOwner | QFile::ReadOther |
                                                    QFile::ExeOther));
    EXPECT_TRUE(test::asUnprivilegedUser([&] {
        FolderProbe asNobody;
        const PairVerdict pair = asNobody.check(locked + '/', closed + "/inner");
        std::fprintf(stderr, "%s\n", qPrintable(pair.notes()));
        return asNobody.check(src, src).mark() == CheckMark::OK && pair.mark() == CheckMark::NG &&
               pair.notes() == "元フォルダを読めません\n先フォルダを読めません";
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

    FolderVerdict test(const QString& folder) {
        std::unique_lock lock(mutex);
        ++tests[folder];
        if (folder.contains("dead"))
            released.wait_for(lock, 10s, [&] { return open; }); // never hangs the suite
        using State = FolderVerdict::State;
        return {folder.contains("yes") ? State::Listable : State::Missing, {}, false};
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
        [folders](const QString& folder, const DriveFacts&) { return folders->test(folder); },
        [] { return QStringList(); });
    QElapsedTimer clock;

    // Three silent folders in one batch cost one bound, not three; the reachable one still answers.
    clock.start();
    {
        const FolderProbe::Batch batch(probe, {"dead1", "dead2", "yes/c", "dead3", "yes/c/"});
        for (const char* folder : {"dead1", "dead2", "yes/c", "dead3", "yes/c/"})
            EXPECT_EQ(probe.examine(folder).state, QString(folder).startsWith("yes")
                                                       ? FolderVerdict::State::Listable
                                                       : FolderVerdict::State::NoAnswer)
                << folder;
    }
    EXPECT_LT(clock.elapsed(), 750); // one after the other: 900
    EXPECT_EQ(folders->testsOf({"yes/c", "yes/c/"}), 1);

    // A folder whose test is still pending is not tested again and answers at once; with every
    // thread stuck, folders count missing without a test until one comes back.
    clock.restart();
    EXPECT_EQ(probe.check("dead1", "dead2/").mark(), CheckMark::NG);
    EXPECT_LT(clock.elapsed(), 250);
    EXPECT_EQ(probe.check("dead4", "dead5").mark(), CheckMark::NG);
    EXPECT_EQ(probe.check("dead6", "dead7").mark(), CheckMark::NG);
    clock.restart();
    EXPECT_FALSE(probe.examine("yes/d").listable());
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
        EXPECT_FALSE(probe.examine("dead1").listable());
        QThread::msleep(10);
    }
    EXPECT_EQ(folders->testsOf({"dead1"}), 2);
    EXPECT_TRUE(probe.examine("yes/d").listable());
}

// Folders on network and FUSE mounts, NFS among them, are grouped with their mount.
TEST(batchlist_FolderProbe, aNetworkMountWithAStuckTest_isUnreachableForAllItsFolders) {
    const QByteArray table =
        "22 1 8:1 / / rw - ext4 /dev/sda1 rw\n"
        "30 22 0:50 / /nas rw,relatime shared:9 - nfs4 srv:/export rw,vers=4.2\n"
        "31 30 0:51 / /nas/inner rw - nfs srv:/inner rw,vers=3\n"
        "40 22 0:40 / /mnt/my\\040share rw shared:5 - cifs //srv/x rw\n"
        "41 22 0:41 / /mnt/f rw - fuse.sshfs host: rw\n"
        "42 22 8:17 / /media/usb rw - fuseblk /dev/sdb1 rw\n";
    EXPECT_EQ(networkMountPoints(table),
              QStringList({"/nas", "/nas/inner", "/mnt/my share", "/mnt/f"}));
    EXPECT_EQ(mountPointOf({"/mnt/f", "/mnt/f/g"}, "/mnt/f/g/h/../x"), "/mnt/f/g");
    EXPECT_EQ(mountPointOf({"/mnt/f"}, "/mnt/fx"), "");

    auto folders = std::make_shared<ScriptedFolders>();
    FolderProbe probe(
        {.bound = 300ms, .workers = 4, .maxThreads = 8},
        [folders](const QString& folder, const DriveFacts&) { return folders->test(folder); },
        [table] { return networkMountPoints(table); });
    QStringList dead;
    for (int i = 0; i < 40; ++i)
        dead << QStringLiteral("/nas/dead%1").arg(i);
    {
        const FolderProbe::Batch batch(probe, dead);
        for (const QString& folder : dead)
            EXPECT_EQ(probe.examine(folder).state, FolderVerdict::State::NoAnswer);
    }
    EXPECT_EQ(folders->testsOf(dead), 4) << "only the first tests on the mount run";
    EXPECT_TRUE(probe.examine("/home/yes").listable());      // threads are left for other folders
    EXPECT_TRUE(probe.examine("/nas/inner/yes").listable()); // another mount inside it answers
    folders->release();
}

} // namespace
} // namespace xcpy
