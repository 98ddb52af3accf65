#include "common/missing_drive.h"
#include "common/mount_table.h"
#include "support.h"

#include <set>
#include <sys/sysmacros.h>

namespace xcpycmd::test {
namespace {

// A machine with a plain /media and /mnt, a user folder below /media, a stick mounted in it, the
// empty folder of a stick that went, a folder of files in /mnt, and two table entries, one of
// them mounted. Every folder but the stick's and /mnt/files is empty.
xcpy::DriveFacts machine() {
    static const std::set<std::string> folders = {
        "/",           "/media",     "/media/taro", "/media/taro/STICK", "/media/taro/GONE",
        "/mnt",        "/mnt/files", "/home",       "/home/taro",        "/srv",
        "/srv/backup", "/srv/data"};
    return {{"/srv/backup", "/srv/data", "/mnt/nas"},
            {"/", "/media/taro/STICK", "/srv/data"},
            [](const std::string& folder) { return folders.contains(folder); },
            [](const std::string& folder) { return folder != "/mnt/files"; }};
}

TEST(MissingDrive, refusesFoldersMadeWhereNoDriveIsMounted) {
    const struct {
        const char* destination;
        const char* missing; // "" when the copy may go on
        bool fromFstab;
    } cases[] = {
        {"/media/nodisk/backup", "/media", false},
        {"/media/taro/NODISK/backup", "/media/taro", false},
        {"/mnt/stick", "/mnt", false},
        {"/run/media/taro/STICK/x", "", false},                 // no /run/media here: made below /
        {"/media/taro/STICK/backup", "", false},                // the stick is there
        {"/media/taro", "", false},                             // exists: nothing is made
        {"/media/taro/GONE/backup", "/media/taro/GONE", false}, // the stick's folder is left
        {"/media/taro/GONE", "/media/taro/GONE", false},
        {"/mnt/files/backup", "", false},     // a folder that holds files is the user's own
        {"/home/taro/new/backup", "", false}, // made on a plain folder
        {"/srv/backup/2026", "/srv/backup", true},
        {"/srv/backup", "/srv/backup", true},      // the empty mount point itself
        {"/srv/data/2026", "", true},              // mounted
        {"/mnt/nas/photos", "/mnt/nas", true},     // the table wins over the mount folder
        {"/srv/../media/./x//y", "/media", false}, // by the normal path
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.destination);
        const auto drive = xcpy::missingDriveOf(c.destination, machine());
        if (std::string(c.missing).empty()) {
            EXPECT_FALSE(drive) << drive->folder;
            continue;
        }
        ASSERT_TRUE(drive);
        EXPECT_EQ(drive->folder, c.missing);
        EXPECT_EQ(drive->fromFstab, c.fromFstab);
    }
}

// Escaped points and types are read as the folder probe's network mounts test reads them.
TEST(MountTable, readsDevicesAndSourcesAndFstabPoints) {
    const auto mounts = xcpy::parseMountInfo(
        "22 1 8:1 / / rw,relatime shared:1 - ext4 /dev/sda1 rw\n"
        "41 22 0:53 / /mnt/fat rw master:3 shared:9 - fuse.fusefat /tmp/fat.img rw\n");
    ASSERT_EQ(mounts.size(), 2u);
    EXPECT_EQ(mounts[1].source, "/tmp/fat.img");
    EXPECT_EQ(xcpy::mountOfDevice(mounts, makedev(0, 53)), &mounts[1]);
    EXPECT_EQ(
        xcpy::parseFstabMountPoints("# c\nUUID=1 / ext4 defaults 0 1\nUUID=2 none swap sw 0 0\n"
                                    "/dev/sdc1  /srv/My\\040Backup/ ext4 noauto 0 2\n"),
        std::vector<std::string>{"/srv/My Backup"});
}

// The real program and the real /media: a line to a drive that is not there copies nothing
// and makes no folder, and the next line of the batch still runs.
using Destination = TempTree;

TEST_F(Destination, missingDriveRefusesTheLineAndMakesNothing) {
    if (!fs::is_directory("/media") || xcpy::missingDriveOf("/media/x/y") == std::nullopt)
        GTEST_SKIP() << "/media is no empty mount folder here";
    const std::string absent = "/media/xcpycmd-test-nodisk-" + root.filename().string();
    write("src/a.txt", "a");
    const auto r = xcopy(q("src") + " \"" + absent + "/backup\" /E /I /Y");
    EXPECT_EQ(r.status, kBadCommand);
    EXPECT_NE(
        r.out.find("コピー先のドライブがありません (/media にドライブがつながっていません) - " +
                   absent + "/backup"),
        std::string::npos)
        << r.out;
    EXPECT_FALSE(fs::exists(absent));
    fs::remove_all(absent);

    // The empty folder a drive left behind counts as that drive; holding files, it is a folder.
    const fs::path left = "/mnt/xcpycmd-test-gone-" + root.filename().string();
    if (fs::create_directory(left)) {
        EXPECT_TRUE(xcpy::missingDriveOf(left.string() + "/backup"));
        std::ofstream(left / "file") << "x";
        EXPECT_FALSE(xcpy::missingDriveOf(left.string() + "/backup"));
        fs::remove_all(left);
    }
}

} // namespace
} // namespace xcpycmd::test
