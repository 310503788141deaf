#include <unistd.h>
// TDirDisk on image files of the test's own, through the real Linux backend wrapped in the
// test double (call counts, injected failures, a reported volume size).
#include <gtest/gtest.h>

#include <memory>

#include "InspectorImages.h"
#include "LoopVolume.h"
#include "inspector/DirectDisk.h"
#include "platform/posix/PosixPlatform.h"
#include "platform/testing/TestPlatform.h"

using inspector::TDirDisk;
using platform::TestPlatform;
using namespace inspectortest;

namespace {

class DirectDiskTest : public ::testing::Test {
protected:
    void UseTable(std::vector<platform::DriveEntry> table) {
        os_.reset();
        posix_ = std::make_unique<platform::PosixPlatform>(std::move(table));
        os_ = std::make_unique<TestPlatform>(*posix_);
    }
    // C: and D: FAT images of 2,880 and 1,000 sectors, A: a removable 1.44 MB one.
    void UseStandardTable() {
        ASSERT_TRUE(MakeFatImage(tmp_.File("c.img"), 1 << 20, BootSector(512, 1, 2880, 0)));
        ASSERT_TRUE(MakeFatImage(tmp_.File("d.img"), 1 << 20, BootSector(512, 4, 1000, 0)));
        ASSERT_TRUE(MakeFatImage(tmp_.File("a.img"), 1474560, BootSector(512, 1, 2880, 0)));
        UseTable({Drive('A', tmp_.Path(), tmp_.File("a.img"), platform::DRIVE_REMOVABLE),
                  Drive('C', tmp_.Path(), tmp_.File("c.img")), Drive('D', tmp_.Path(), tmp_.File("d.img"))});
    }

    TempFolder tmp_;
    std::unique_ptr<platform::PosixPlatform> posix_;
    std::unique_ptr<TestPlatform> os_;
};

struct GeometryCase {
    const char* name;
    uint16_t bytesPerSector;
    uint8_t sectorsPerCluster;
    uint16_t count16;
    uint32_t count32;
    uint64_t reportedSize;  // 0: whatever the folder's file system says
    bool sizeQueryFails;
    int32_t wantBytesPerSector;
    uint32_t wantTotalSectors;
    int64_t wantCapacitySectors;  // -1: not checked
    bool wantFromDevice;
};

TEST_F(DirectDiskTest, GeometryFromTheBootSectorOrElseFromTheDevice) {
    // The image is 1 MiB: 2,048 sectors of 512 bytes as the device reports them.
    const GeometryCase cases[] = {
        {"16-bit count", 512, 1, 2880, 0, 0, false, 512, 2880, -1, false},
        {"32-bit count", 512, 8, 0, 2097152, 0, false, 512, 2097152, -1, false},
        {"both counts 0: the file system's size", 512, 8, 0, 0, 1000000000, false, 512, 1953125, 1953125, false},
        {"both counts 0 and no size: fails", 512, 8, 0, 0, 0, true, 512, 0, 0, false},
        {"1,024-byte sectors", 1024, 2, 1440, 0, 0, false, 1024, 1440, -1, false},
        // No usable parameter block (ext4, xfs, btrfs, exFAT): taken from the device instead
        // of failing, so the count is the device's 2,048, not the block's 2,880 nor 0.
        {"0 at offset 11", 0, 8, 2880, 0, 0, false, 512, 2048, -1, true},
        {"0 at offset 13", 512, 0, 2880, 0, 0, false, 512, 2048, -1, true},
        {"sector size not a power of two", 768, 1, 2880, 0, 0, false, 512, 2048, -1, true},
        {"sectors per cluster not a power of two", 512, 3, 2880, 0, 0, false, 512, 2048, -1, true},
    };
    for (const GeometryCase& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string image = tmp_.File("e.img");
        ASSERT_TRUE(MakeFatImage(image, 1 << 20, BootSector(c.bytesPerSector, c.sectorsPerCluster, c.count16, c.count32)));
        UseTable({Drive('E', tmp_.Path(), image)});
        TDirDisk disk(*os_);
        if (c.reportedSize > 0) os_->LimitCapacity("E:\\", c.reportedSize);
        if (c.sizeQueryFails) os_->FailCall(TestPlatform::Call::GetDiskFreeSpaceEx, 1, platform::ERROR_NOT_READY, -1);
        disk.SetDriveName('E');

        EXPECT_EQ(disk.BytesPerSector(), c.wantBytesPerSector);
        EXPECT_EQ(disk.TotalSectors(), c.wantTotalSectors);
        EXPECT_EQ(disk.GeometryFromDevice(), c.wantFromDevice);
        if (c.wantCapacitySectors >= 0) {
            EXPECT_EQ(disk.CapacitySectors(), static_cast<uint32_t>(c.wantCapacitySectors));
        }
        ASSERT_GT(disk.SectorsPerCluster(), 0);
        EXPECT_EQ(disk.TotalClusters(), disk.TotalSectors() / static_cast<uint32_t>(disk.SectorsPerCluster()));
        if (!c.wantFromDevice && c.wantTotalSectors > 0) {
            EXPECT_EQ(disk.SectorsPerCluster(), c.sectorsPerCluster);
        }
        EXPECT_EQ(disk.FirstSector(), 0u);
        EXPECT_EQ(disk.Sectors(), 1u);
    }
}

TEST_F(DirectDiskTest, DriveNameIsStoredUpperCaseAndQueriedOnlyOnChange) {
    UseStandardTable();
    TDirDisk disk(*os_);
    EXPECT_EQ(disk.DriveName(), 'C');
    EXPECT_EQ(disk.TotalSectors(), 2880u);
    disk.SetDriveName('D');
    EXPECT_EQ(disk.TotalSectors(), 1000u);

    os_->Reset();
    disk.SetDriveName('c');
    EXPECT_EQ(disk.DriveName(), 'C');
    EXPECT_EQ(disk.TotalSectors(), 2880u);
    EXPECT_EQ(os_->CallCount(TestPlatform::Call::ReadVolume), 1);

    os_->Reset();
    disk.SetDriveName('C');
    EXPECT_EQ(os_->CallCount(TestPlatform::Call::OpenVolume), 0);
    EXPECT_EQ(os_->CallCount(TestPlatform::Call::ReadVolume), 0);

    // Not a letter: the drive stays, but nothing reads until another letter is set.
    std::vector<uint8_t> buffer(512);
    disk.SetDriveName('1');
    EXPECT_EQ(disk.DriveName(), 'C');
    EXPECT_FALSE(disk.DriveValid());
    EXPECT_EQ(disk.TotalSectors(), 2880u);
    EXPECT_FALSE(disk.ReadSectors(buffer.data(), 511));
    disk.SetDriveName('C');
    EXPECT_FALSE(disk.ReadSectors(buffer.data(), 511));
    disk.SetDriveName('D');
    EXPECT_TRUE(disk.ReadSectors(buffer.data(), 511));
}

TEST_F(DirectDiskTest, BufferMustHoldTheWholeRun) {
    UseStandardTable();
    TDirDisk disk(*os_);
    disk.SetSectors(8);  // 4,096 bytes
    std::vector<uint8_t> buffer(4096, 0xCC);
    os_->Reset();
    EXPECT_FALSE(disk.ReadSectors(buffer.data(), 4094));
    EXPECT_EQ(os_->CallCount(TestPlatform::Call::ReadVolume), 0);
    EXPECT_EQ(std::count(buffer.begin(), buffer.end(), 0xCC), 4096) << "a refused read leaves the buffer alone";
    EXPECT_TRUE(disk.ReadSectors(buffer.data(), 4095));
    EXPECT_EQ(buffer[0], 0xEB);
}

TEST_F(DirectDiskTest, SectorNumbersBeyondFourGibibytesUse64BitPositions) {
    const std::string image = tmp_.File("big.img");
    const uint64_t fourGiB = 4294967296ull;
    ASSERT_TRUE(MakeFatImage(image, fourGiB + (1 << 20), BootSector(512, 8, 0, 8390656)));
    ASSERT_TRUE(WriteAt(image, fourGiB - 512, "ONE SECTOR BEFORE"));
    ASSERT_TRUE(WriteAt(image, fourGiB, "AT FOUR GIBIBYTES"));
    UseTable({Drive('E', tmp_.Path(), image)});
    TDirDisk disk(*os_);
    disk.SetDriveName('E');
    ASSERT_EQ(disk.TotalSectors(), 8390656u);
    disk.SetFirstSector(8388608);
    std::vector<uint8_t> buffer(512);
    ASSERT_TRUE(disk.ReadSectors(buffer.data(), 511));
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer.data()), 17), "AT FOUR GIBIBYTES");
}

TEST_F(DirectDiskTest, RetriesCountDeviceReads) {
    UseStandardTable();
    TDirDisk disk(*os_);
    std::vector<uint8_t> buffer(512);
    struct Case {
        int retries;
        int failures;  // -1: every read fails
        bool wantRead;
        int wantReads;
    };
    // Each ReadSectors attempt makes up to Retries reads of its own: Retries x Retries in all.
    const Case cases[] = {{1, 0, true, 1}, {1, 1, false, 1}, {3, 1, true, 2}, {3, -1, false, 9}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "retries " << c.retries << ", failures " << c.failures);
        disk.SetRetries(c.retries);
        os_->Reset();
        if (c.failures != 0) os_->FailCall(TestPlatform::Call::ReadVolume, 1, platform::ERROR_CRC, c.failures);
        EXPECT_EQ(disk.ReadSectors(buffer.data(), 511), c.wantRead);
        EXPECT_EQ(os_->CallCount(TestPlatform::Call::ReadVolume), c.wantReads);
        if (!c.wantRead) {
            EXPECT_EQ(disk.LastFailure().Error, platform::ERROR_CRC);
        }
    }
    disk.SetRetries(0);
    EXPECT_EQ(disk.Retries(), 1);
    disk.SetRetries(99);
    EXPECT_EQ(disk.Retries(), 25);
}

TEST_F(DirectDiskTest, RefusedLockMeansNoRead) {
    UseStandardTable();
    TDirDisk disk(*os_);
    disk.SetNeedDiskLock(true);
    std::vector<uint8_t> buffer(512);
    os_->Reset();
    os_->FailCall(TestPlatform::Call::LockVolume, 1, platform::ERROR_LOCK_VIOLATION);
    EXPECT_FALSE(disk.ReadSectors(buffer.data(), 511));
    EXPECT_EQ(os_->CallCount(TestPlatform::Call::ReadVolume), 0);
    EXPECT_EQ(disk.LastFailure().Error, platform::ERROR_LOCK_VIOLATION);

    os_->Reset();
    EXPECT_TRUE(disk.ReadSectors(buffer.data(), 511));
    EXPECT_EQ(os_->CallCount(TestPlatform::Call::LockVolume), 1);
    EXPECT_EQ(os_->CallCount(TestPlatform::Call::ReadVolume), 1);
    // Unlocked again: the next locked read gets its lock.
    EXPECT_TRUE(disk.ReadSectors(buffer.data(), 511));
}

TEST(FloppyChs, LogicalSectorsToCylinderHeadSector) {
    struct Case {
        uint32_t logical;
        uint8_t cylinder, head, sector;
    };
    const Case cases[] = {{0, 0, 0, 1}, {17, 0, 0, 18}, {18, 0, 1, 1}, {35, 0, 1, 18}, {36, 1, 0, 1}, {2879, 79, 1, 18}};
    for (const Case& c : cases) {
        const inspector::TChsAddress a = inspector::FloppyChs(c.logical, inspector::FloppyFormats[4]);
        EXPECT_EQ(a.Cylinder, c.cylinder) << c.logical;
        EXPECT_EQ(a.Head, c.head) << c.logical;
        EXPECT_EQ(a.Sector, c.sector) << c.logical;
    }
    // 360 KB: 9 sectors a track.
    const inspector::TChsAddress a = inspector::FloppyChs(35, inspector::FloppyFormats[1]);
    EXPECT_EQ(a.Cylinder, 1);
    EXPECT_EQ(a.Head, 1);
    EXPECT_EQ(a.Sector, 9);
}

TEST_F(DirectDiskTest, FloppyReadsNeedARemovableDrive) {
    UseStandardTable();
    ASSERT_TRUE(WriteAt(tmp_.File("a.img"), 35 * 512, "SECTOR 35"));
    TDirDisk disk(*os_);
    std::vector<uint8_t> buffer(1024);
    disk.SetFirstSector(35);
    disk.SetSectors(2);
    ASSERT_TRUE(disk.ReadFloppySectors('a', buffer.data(), 4));
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer.data()), 9), "SECTOR 35");
    EXPECT_FALSE(disk.ReadFloppySectors('A', buffer.data(), 5)) << "no such format row";

    EXPECT_TRUE(disk.DriveValid());
    EXPECT_FALSE(disk.ReadFloppySectors('C', buffer.data(), 4));
    EXPECT_FALSE(disk.DriveValid());
}

TEST_F(DirectDiskTest, FailedQueryKeepsTheSectorSizeAndTellsWhy) {
    ASSERT_TRUE(MakeFatImage(tmp_.File("e.img"), 1 << 20, BootSector(1024, 1, 1000, 0)));
    UseTable({Drive('E', tmp_.Path(), tmp_.File("e.img")), Drive('F', tmp_.Path(), tmp_.File("missing.img")),
              Drive('G', tmp_.Path(), tmp_.File("e.img"))});
    TDirDisk disk(*os_);
    disk.SetDriveName('E');
    ASSERT_EQ(disk.BytesPerSector(), 1024);

    disk.SetDriveName('F');
    EXPECT_EQ(disk.TotalSectors(), 0u);
    EXPECT_EQ(disk.TotalClusters(), 0u);
    EXPECT_EQ(disk.CapacitySectors(), 0u);
    EXPECT_EQ(disk.CapacityClusters(), 0u);
    EXPECT_EQ(disk.BytesPerSector(), 1024);
    EXPECT_EQ(disk.LastFailure().Error, platform::ERROR_FILE_NOT_FOUND);
    EXPECT_NE(disk.FailureReason().find("OpenVolume"), std::string::npos) << disk.FailureReason();

    os_->FailCall(TestPlatform::Call::OpenVolume, 1, platform::ERROR_ACCESS_DENIED);
    disk.SetDriveName('G');
    EXPECT_EQ(disk.TotalSectors(), 0u);
    // Without root the reason is root; as root the refusal is the system's own.
    EXPECT_EQ(disk.FailureReason(), ::geteuid() != 0 ? "Reading raw sectors needs root (Access is denied.)"
                                                     : "The system refuses to open \\\\.\\G: for reading (Access is denied.)");

    disk.SetDriveName('E');
    EXPECT_EQ(disk.TotalSectors(), 1000u);
    EXPECT_EQ(disk.FailureReason(), "") << "a good query leaves no reason behind";
}

TEST_F(DirectDiskTest, ReadsEndAtTheDeviceEnd) {
    // 4 whole sectors and 100 bytes: a read that stops at the end is whole (zeros after the
    // device's last byte); one that starts beyond it is not.
    const std::string image = tmp_.File("odd.img");
    ASSERT_TRUE(MakeImage(image, 4 * 512 + 100));
    ASSERT_TRUE(WriteAt(image, 4 * 512, "TAIL"));
    UseTable({});
    TDirDisk disk(*os_);
    disk.SetDevicePath(image);
    ASSERT_EQ(disk.TotalSectors(), 4u);
    std::vector<uint8_t> buffer(1024, 0xCC);
    disk.SetFirstSector(4);
    disk.SetSectors(2);
    ASSERT_TRUE(disk.ReadSectors(buffer.data(), 1023));
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer.data()), 4), "TAIL");
    EXPECT_EQ(std::count(buffer.begin() + 100, buffer.end(), 0), 924);
    disk.SetFirstSector(5);
    disk.SetSectors(1);
    EXPECT_FALSE(disk.ReadSectors(buffer.data(), 1023));
    EXPECT_EQ(disk.LastFailure().Error, platform::ERROR_HANDLE_EOF);
}

TEST_F(DirectDiskTest, Ext4ImageByPathTakesItsGeometryFromTheDevice) {
    const std::string image = tmp_.File("ext4.img");
    ASSERT_TRUE(MakeImage(image, 16 << 20));
    ASSERT_EQ(testsupport::Shell("mkfs.ext4 -q -F " + image + " >/dev/null 2>&1"), 0);
    UseStandardTable();
    TDirDisk disk(*os_);
    disk.SetDevicePath(image);
    EXPECT_EQ(disk.DriveName(), TDirDisk::DevicePathDrive);
    EXPECT_TRUE(disk.GeometryFromDevice());
    EXPECT_EQ(disk.BytesPerSector(), 512);
    EXPECT_EQ(disk.TotalSectors(), 32768u);
    EXPECT_EQ(disk.CapacitySectors(), 32768u);
    EXPECT_EQ(disk.SectorsPerCluster(), 8);

    // The ext4 superblock begins at byte 1,024; its magic 0xEF53 is at byte 56 of it.
    std::vector<uint8_t> buffer(512);
    disk.SetFirstSector(2);
    ASSERT_TRUE(disk.ReadSectors(buffer.data(), 511));
    EXPECT_EQ(buffer[56], 0x53);
    EXPECT_EQ(buffer[57], 0xEF);

    os_->Reset();
    disk.SetDevicePath(image);
    EXPECT_EQ(os_->CallCount(TestPlatform::Call::OpenVolume), 0) << "the same path again queries nothing";
    disk.SetDriveName('C');
    EXPECT_EQ(disk.DriveName(), 'C');
    EXPECT_EQ(disk.TotalSectors(), 2880u);
    disk.SetDevicePath("");
    EXPECT_FALSE(disk.DriveValid());
    EXPECT_EQ(disk.TotalSectors(), 0u);
}

TEST_F(DirectDiskTest, LoopDeviceWith4096ByteSectors) {
    if (!testsupport::IsRoot()) GTEST_SKIP() << "needs root to attach a loop device";
    const std::string image = tmp_.File("ext4.img");
    ASSERT_TRUE(MakeImage(image, 16 << 20));
    ASSERT_EQ(testsupport::Shell("mkfs.ext4 -q -F -b 4096 " + image + " >/dev/null 2>&1"), 0);
    std::string device = testsupport::ShellOutput("losetup -b 4096 -f --show " + image + " 2>/dev/null");
    while (!device.empty() && (device.back() == '\n' || device.back() == ' ')) device.pop_back();
    if (device.empty()) GTEST_SKIP() << "no free loop device";
    struct Detach {
        std::string device;
        ~Detach() { testsupport::Shell("losetup -d " + device); }
    } detach{device};

    UseTable({});
    TDirDisk disk(*os_);
    disk.SetDevicePath(device);
    EXPECT_TRUE(disk.GeometryFromDevice());
    EXPECT_EQ(disk.BytesPerSector(), 4096);
    EXPECT_EQ(disk.TotalSectors(), 4096u);
    std::vector<uint8_t> buffer(4096);
    ASSERT_TRUE(disk.ReadSectors(buffer.data(), 4095));
    EXPECT_EQ(buffer[1024 + 56], 0x53);
    EXPECT_EQ(buffer[1024 + 57], 0xEF);
}

}  // namespace
