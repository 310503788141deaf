#include "platform/posix/DriveTable.h"

#include <gtest/gtest.h>

#include <map>

using platform::DriveEntry;
using namespace platform::posix;

namespace {

// A desktop with most kinds of mounts; pseudo file systems, a snap image, a bind mount and a
// second mount of one partition among them.
const char* const kDesktop =
    "22 28 0:21 / /proc rw,relatime - proc proc rw\n"
    "23 28 0:22 / /sys rw,relatime - sysfs sysfs rw\n"
    "24 28 0:6 / /dev rw,relatime - devtmpfs devtmpfs rw,size=12334164k\n"
    "28 1 254:0 / / rw,relatime - ext4 /dev/vda rw,discard\n"
    "40 28 8:17 / /mnt/data rw,relatime shared:5 - ext4 /dev/sdb1 rw\n"
    "41 28 8:17 /sub /srv/bound rw,relatime shared:5 - ext4 /dev/sdb1 rw\n"
    "42 28 2:0 / /media/floppy rw - vfat /dev/fd0 rw\n"
    "43 28 11:0 / /media/cdrom ro - iso9660 /dev/sr0 ro\n"
    "44 28 0:50 / /net/share rw - nfs4 server:/export rw,vers=4.2\n"
    "45 28 8:33 / /home/u/My\\040Stick rw,nosuid shared:9 master:3 - vfat /dev/sdc1 rw\n"
    "46 28 0:24 / /run rw - tmpfs tmpfs rw\n"
    "47 28 252:0 / /mnt/zram rw - ext4 /dev/zram0 rw\n"
    "48 28 8:49 / /mnt/win rw - ntfs3 /dev/sdd1 rw\n"
    "49 28 0:60 / /mnt/remote rw - fuse.sshfs user@host:/home rw\n"
    "50 28 7:0 / /snap/core/1 ro - squashfs /dev/loop0 ro\n"
    "51 28 8:17 / /mnt/again rw - ext4 /dev/sdb1 rw\n"
    "52 28 0:61 / /mnt/overlay rw - overlay overlay rw,lowerdir=/a\n";

std::map<char, DriveEntry> ByLetter(const std::vector<DriveEntry>& table) {
    std::map<char, DriveEntry> drives;
    for (const DriveEntry& d : table) {
        EXPECT_EQ(drives.count(d.Letter), 0u) << "letter given twice: " << d.Letter;
        drives[d.Letter] = d;
    }
    return drives;
}

std::string Line(int id, const std::string& device, const std::string& mountPoint, const std::string& root = "/",
                 const std::string& fileSystem = "ext4") {
    return std::to_string(id) + " 1 8:" + std::to_string(id) + " " + root + " " + mountPoint + " rw - " + fileSystem +
           " " + device + " rw\n";
}

TEST(DriveTable, GivesLettersToVolumesOnlyInMountOrder) {
    const auto table = BuildDriveTable(kDesktop);
    struct Expected {
        char Letter;
        const char* MountPoint;
        const char* Device;
        const char* FileSystem;
        uint32_t DriveType;
        const char* TypeName;
        const char* DisplayName;
    };
    const Expected expected[] = {
        {'A', "/media/floppy", "/dev/fd0", "vfat", platform::DRIVE_REMOVABLE, "Removable Disk", "floppy (A:) on /media/floppy"},
        {'C', "/", "/dev/vda", "ext4", platform::DRIVE_FIXED, "Local Disk", "System (C:) on /"},
        {'D', "/mnt/data", "/dev/sdb1", "ext4", platform::DRIVE_FIXED, "Local Disk", "data (D:) on /mnt/data"},
        {'E', "/media/cdrom", "/dev/sr0", "iso9660", platform::DRIVE_CDROM, "CD Drive", "cdrom (E:) on /media/cdrom"},
        {'F', "/net/share", "server:/export", "nfs4", platform::DRIVE_REMOTE, "Network Drive", "share (F:) on /net/share"},
        {'G', "/home/u/My Stick", "/dev/sdc1", "vfat", platform::DRIVE_FIXED, "Local Disk", "My Stick (G:) on /home/u/My Stick"},
        {'H', "/mnt/zram", "/dev/zram0", "ext4", platform::DRIVE_RAMDISK, "RAM Disk", "zram (H:) on /mnt/zram"},
        {'I', "/mnt/win", "/dev/sdd1", "ntfs3", platform::DRIVE_FIXED, "Local Disk", "win (I:) on /mnt/win"},
        {'J', "/mnt/remote", "user@host:/home", "fuse.sshfs", platform::DRIVE_REMOTE, "Network Drive", "remote (J:) on /mnt/remote"},
    };
    ASSERT_EQ(table.size(), std::size(expected));
    for (size_t i = 0; i < table.size(); ++i) {
        SCOPED_TRACE(expected[i].DisplayName);
        EXPECT_EQ(table[i].Letter, expected[i].Letter);
        EXPECT_EQ(table[i].MountPoint, expected[i].MountPoint);
        EXPECT_EQ(table[i].Device, expected[i].Device);
        EXPECT_EQ(table[i].FileSystem, expected[i].FileSystem);
        EXPECT_EQ(table[i].DriveType, expected[i].DriveType);
        EXPECT_EQ(table[i].TypeName, expected[i].TypeName);
        EXPECT_EQ(table[i].DisplayName, expected[i].DisplayName);
        EXPECT_TRUE(table[i].Label.empty());
    }
}

TEST(DriveTable, PrefersTheWholeFileSystemOverAnEarlierBindMount) {
    const std::string text = Line(1, "/dev/vda", "/") + Line(2, "/dev/sdb1", "/srv/part", "/sub") +
                             Line(3, "/dev/sdc1", "/mnt/c") + Line(4, "/dev/sdb1", "/mnt/b");
    const auto drives = ByLetter(BuildDriveTable(text));
    ASSERT_EQ(drives.size(), 3u);
    EXPECT_EQ(drives.at('D').MountPoint, "/mnt/b");  // sdb1 keeps the place of its first mount
    EXPECT_EQ(drives.at('E').MountPoint, "/mnt/c");
}

TEST(DriveTable, OnlyBindMountsOfADeviceTakeTheFirst) {
    const std::string text = Line(1, "/dev/sdb1", "/srv/one", "/a") + Line(2, "/dev/sdb1", "/srv/two", "/b");
    const auto table = BuildDriveTable(text);
    ASSERT_EQ(table.size(), 1u);
    EXPECT_EQ(table[0].Letter, 'D');
    EXPECT_EQ(table[0].MountPoint, "/srv/one");
}

TEST(DriveTable, RootKeepsCEvenWhenItsDeviceIsMountedEarlierElsewhere) {
    const std::string text = Line(1, "/dev/vda", "/early") + Line(2, "/dev/vda", "/") + Line(3, "/dev/fd1", "/media/b");
    const auto drives = ByLetter(BuildDriveTable(text));
    ASSERT_EQ(drives.size(), 2u);
    EXPECT_EQ(drives.at('C').MountPoint, "/");
    EXPECT_EQ(drives.at('B').Device, "/dev/fd1");
}

TEST(DriveTable, StopsAtZ) {
    std::string text = Line(1, "/dev/vda", "/");
    for (int i = 0; i < 30; ++i) text += Line(10 + i, "/dev/sdx" + std::to_string(i), "/mnt/v" + std::to_string(i));
    const auto table = BuildDriveTable(text);
    ASSERT_EQ(table.size(), 24u);  // C: and D: .. Z:
    EXPECT_EQ(table.front().Letter, 'C');
    EXPECT_EQ(table[1].MountPoint, "/mnt/v0");
    EXPECT_EQ(table.back().Letter, 'Z');
    EXPECT_EQ(table.back().MountPoint, "/mnt/v22");
}

TEST(DriveTable, FactsGiveLabelsRemovableMediaSerialsAndDropFileMounts) {
    DeviceFacts facts;
    facts.Label = [](const MountInfoEntry& e) { return e.Source == "/dev/sdb1" ? std::string("DATA") : std::string(); };
    facts.IsRemovable = [](const MountInfoEntry& e) { return e.Major == 8 && e.Minor == 33; };
    facts.Uuid = [](const MountInfoEntry& e) {
        return e.Source == "/dev/sdc1" ? std::string("ABCD-1234") : e.Source == "/dev/sdb1" ? "0f6e4c1e-7d0b-4f7e-9d3a-2a5c0e3d9b11" : "";
    };
    facts.IsFolder = [](const std::string& mountPoint) { return mountPoint != "/mnt/win"; };
    const auto drives = ByLetter(BuildDriveTable(kDesktop, facts));

    EXPECT_EQ(drives.at('D').Label, "DATA");
    EXPECT_EQ(drives.at('D').DisplayName, "DATA (D:) on /mnt/data");
    EXPECT_EQ(drives.at('G').DriveType, platform::DRIVE_REMOVABLE);
    EXPECT_EQ(drives.at('G').TypeName, "Removable Disk");
    EXPECT_EQ(drives.at('G').SerialNumber, 0xABCD1234u);
    EXPECT_EQ(drives.at('D').SerialNumber, SerialFromUuid("0f6e4c1e-7d0b-4f7e-9d3a-2a5c0e3d9b11"));
    // Without a UUID the serial comes from the device, and differs between devices.
    EXPECT_EQ(drives.at('C').SerialNumber, SerialFromUuid("/dev/vda"));
    EXPECT_NE(drives.at('C').SerialNumber, drives.at('D').SerialNumber);
    // A mount on a file is no drive; the next volume moves up.
    EXPECT_EQ(drives.at('I').MountPoint, "/mnt/remote");
    EXPECT_EQ(drives.count('J'), 0u);
}

TEST(DriveTable, ParsesEscapesOptionalFieldsAndSkipsBrokenLines) {
    EXPECT_EQ(DecodeMountEscapes("a\\040b\\011c\\012d\\134e"), "a b\tc\nd\\e");
    EXPECT_EQ(DecodeMountEscapes("keep\\9x\\04"), "keep\\9x\\04");

    const auto entries = ParseMountInfo(
        "45 28 8:33 /r\\040oot /home/u/My\\040Stick rw shared:9 master:3 - vfat /dev/sd\\040c1 rw\n"
        "garbage line\n"
        "46 28 8:34 / /no/dash rw shared:1\n"
        "47 28 8:35 / /mnt/x rw - ext4\n"
        "48 28 8:36 / /mnt/y rw - xfs /dev/sde1\n");
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].Major, 8u);
    EXPECT_EQ(entries[0].Minor, 33u);
    EXPECT_EQ(entries[0].Root, "/r oot");
    EXPECT_EQ(entries[0].MountPoint, "/home/u/My Stick");
    EXPECT_EQ(entries[0].FileSystem, "vfat");
    EXPECT_EQ(entries[0].Source, "/dev/sd c1");
    EXPECT_EQ(entries[1].MountPoint, "/mnt/y");  // no super options: still a line
}

TEST(DriveTable, SerialsAreStable) {
    EXPECT_EQ(SerialFromUuid("0000-0001"), 1u);
    EXPECT_EQ(SerialFromUuid("some-uuid"), SerialFromUuid("some-uuid"));
    EXPECT_NE(SerialFromUuid("uuid-1"), SerialFromUuid("uuid-2"));
}

}  // namespace
