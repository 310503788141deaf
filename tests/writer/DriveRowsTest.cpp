#include <gtest/gtest.h>

#include <QLocale>

#include "WriterTestSupport.h"
#include "writer/DriveRows.h"

using namespace writertest;

namespace {

class FormatDiskSizeTest : public ::testing::Test {
protected:
    void SetUp() override { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }
    void TearDown() override { QLocale::setDefault(QLocale::system()); }
};

TEST_F(FormatDiskSizeTest, FollowsTheSizeTable) {
    const std::pair<double, const char*> cases[] = {
        {-1, ""},
        {-1.5, ""},  // truncated towards zero: still the failed query
        {0, ""},
        {1024, ""},
        {1025, "1.00 KB"},
        {1457664, "1.39 MB"},
        {1048576, "1,024.00 KB"},
        {1049600, "1.00 MB"},
        {1073741824, "1,024.00 MB"},
        {4294967296, "4.00 GB"},
        {80026361856, "74.53 GB"},
        {2199023255552, "2,048.00 GB"},
        {-4294967296, "-4.00 GB"},
    };
    for (const auto& [size, text] : cases) EXPECT_EQ(writer::FormatDiskSize(size), text) << size;
}

TEST_F(FormatDiskSizeTest, UsesTheLocaleSeparators) {
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_EQ(writer::FormatDiskSize(1048576), "1.024,00 KB");
    EXPECT_EQ(writer::FormatDiskSize(1457664), "1,39 MB");
}

TEST(DriveRowsTest, OneRowPerDriveInLetterOrderWithFileSystemForFixedOnly) {
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    TTestDrives drives({{'E', platform::DRIVE_REMOTE, 3u << 20, "nfs"},
                        {'C', platform::DRIVE_FIXED, 1536u << 10, "ext4"},
                        {'A', platform::DRIVE_REMOVABLE, 0, "vfat"}});
    // The floppy has no medium: its space query fails.
    drives.Double().FailCall(platform::TestPlatform::Call::GetDiskFreeSpaceEx, 1, platform::ERROR_NOT_READY);

    const std::vector<writer::TDriveRow> rows = writer::ReadDriveRows();
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].Letter, 'a');
    EXPECT_EQ(rows[0].RootPath, "A:\\");
    EXPECT_EQ(rows[0].TotalSize, "");
    EXPECT_EQ(rows[0].FreeSpace, "");
    EXPECT_EQ(rows[0].FileSystem, "");
    EXPECT_EQ(rows[0].TypeName, "Removable Disk");

    EXPECT_EQ(rows[1].Letter, 'c');
    EXPECT_EQ(rows[1].Name, "TESTC (C:) on " + drives.Folder('C'));
    EXPECT_EQ(rows[1].FileSystem, "EXT4");
    EXPECT_EQ(rows[1].TotalSize, "1.50 MB");
    EXPECT_EQ(rows[1].FreeSpace, "1.50 MB");
    EXPECT_EQ(rows[1].MountPoint, drives.Folder('C'));

    EXPECT_EQ(rows[2].Letter, 'e');
    EXPECT_EQ(rows[2].FileSystem, "");  // not fixed: not even asked
    EXPECT_EQ(rows[2].TotalSize, "3.00 MB");
    EXPECT_EQ(drives.Double().CallCount(platform::TestPlatform::Call::GetVolumeInformation), 1);
    QLocale::setDefault(QLocale::system());
}

TEST(DriveRowsTest, RootPathOfLetter) {
    EXPECT_EQ(writer::RootPathOfLetter('c'), "C:\\");
    EXPECT_EQ(writer::RootPathOfLetter('Z'), "Z:\\");
    EXPECT_EQ(writer::RootPathOfLetter(0), "");
}

TEST(DriveRowsTest, VolumeNamesAreTrimmed) {
    TTestDrives drives(std::vector<TDriveSpec>{{'D', platform::DRIVE_FIXED, 0, "  ext4\t"}});
    writer::TVolumeInformation info;
    ASSERT_TRUE(writer::ReadVolumeInformation('d', info));
    EXPECT_EQ(info.FileSystemName, "ext4");
    EXPECT_EQ(info.VolumeName, "TESTD");
    EXPECT_FALSE(writer::ReadVolumeInformation('q', info));
    EXPECT_EQ(info.FileSystemName, "");
}

}  // namespace
