// What only a real mounted volume shows: unbuffered write-through I/O, a disk that really
// fills up, the reserved blocks, the raw device and the live drive table. Root only.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/sysmacros.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>

#include "PlatformBackends.h"
#include "platform/posix/DriveTable.h"

using namespace platform;
using namespace fvntest;

namespace {

// The open flags of this process's descriptor for a path, from /proc; -1 when none is open.
int OpenFlagsOf(const std::string& path) {
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd", ec)) {
        std::error_code linkEc;
        if (std::filesystem::read_symlink(entry.path(), linkEc) != path || linkEc) continue;
        std::ifstream info("/proc/self/fdinfo/" + entry.path().filename().string());
        for (std::string key; info >> key;) {
            if (key == "flags:") {
                std::string octal;
                info >> octal;
                return static_cast<int>(std::strtol(octal.c_str(), nullptr, 8));
            }
        }
    }
    return -1;
}

struct AlignedFree {
    void operator()(char* p) const { std::free(p); }
};
using AlignedBuffer = std::unique_ptr<char, AlignedFree>;

AlignedBuffer Aligned(size_t size, char fill) {
    AlignedBuffer buffer(static_cast<char*>(std::aligned_alloc(4096, size)));
    std::fill(buffer.get(), buffer.get() + size, fill);
    return buffer;
}

class RealVolume : public BackendTest<LoopVolumeBackend> {
protected:
    HANDLE CreateAsTheEraserDoes(const std::string& name) {
        return P().CreateFile("X:\\" + name, GENERIC_READ | GENERIC_WRITE, 0, CREATE_ALWAYS,
                              FILE_FLAG_NO_BUFFERING | FILE_FLAG_WRITE_THROUGH | FILE_FLAG_SEQUENTIAL_SCAN);
    }
};

TEST_F(RealVolume, UnbufferedWriteThroughBlocksLandAndSoDoesAnUnalignedTail) {
    const HANDLE h = CreateAsTheEraserDoes("direct.bin");
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    const int flags = OpenFlagsOf(Native("direct.bin"));
    EXPECT_NE(flags & O_DIRECT, 0) << "ext4 does unbuffered I/O";
    EXPECT_EQ(flags & O_DSYNC, O_DSYNC);

    const AlignedBuffer block = Aligned(65536, 'B');
    uint32_t done = 0;
    for (int i = 0; i < 4; ++i) {
        ASSERT_TRUE(P().WriteFile(h, block.get(), 65536, done));
        EXPECT_EQ(done, 65536u);
    }
    EXPECT_NE(OpenFlagsOf(Native("direct.bin")) & O_DIRECT, 0) << "aligned writes keep unbuffered I/O";

    const AlignedBuffer tail = Aligned(4096, 'T');
    ASSERT_TRUE(P().WriteFile(h, tail.get(), 1000, done));
    EXPECT_EQ(done, 1000u);
    const int after = OpenFlagsOf(Native("direct.bin"));
    EXPECT_EQ(after & O_DIRECT, 0);
    EXPECT_EQ(after & O_DSYNC, O_DSYNC) << "write-through stays when unbuffered I/O is dropped";
    EXPECT_TRUE(P().CloseHandle(h));

    const std::string content = ReadNativeFile(Native("direct.bin"));
    ASSERT_EQ(content.size(), 4u * 65536 + 1000);
    EXPECT_EQ(content.find_first_not_of('B'), 4u * 65536);
    EXPECT_EQ(content.substr(4 * 65536), std::string(1000, 'T'));
}

TEST_F(RealVolume, FillingTheVolumeEndsInDiskFullWithThePartCountedThatLanded) {
    struct statvfs before {};
    ASSERT_EQ(::statvfs(backend_->Folder().c_str(), &before), 0);
    const HANDLE h = CreateAsTheEraserDoes("fill.FVNTMP");
    ASSERT_NE(h, INVALID_HANDLE_VALUE);

    const uint32_t chunk = 1 << 20;
    const AlignedBuffer block = Aligned(chunk, 'F');
    uint64_t total = 0;
    uint32_t done = 0;
    int writes = 0;
    while (P().WriteFile(h, block.get(), chunk, done)) {
        ASSERT_EQ(done, chunk);
        total += done;
        ASSERT_LT(++writes, 64) << "a 32 MiB volume never took this much";
    }
    EXPECT_EQ(P().GetLastError(), ERROR_DISK_FULL);
    EXPECT_GT(done, 0u) << "the last write fills what was left";
    EXPECT_LT(done, chunk);
    const FailureContext failure = P().LastFailure();
    EXPECT_EQ(failure.Operation, "WriteFile");
    EXPECT_EQ(failure.Offset, static_cast<int64_t>(total));
    EXPECT_EQ(failure.Length, chunk);
    total += done;

    int32_t high = 0;
    EXPECT_EQ(P().SetFilePointer(h, 0, &high, FILE_CURRENT), static_cast<uint32_t>(total));
    EXPECT_TRUE(P().CloseHandle(h));
    EXPECT_EQ(std::filesystem::file_size(Native("fill.FVNTMP")), total);

    // Root wrote into the reserved blocks too: more than an ordinary user could have.
    EXPECT_GT(total, uint64_t{before.f_bavail} * before.f_frsize);
    // Full to the last sector: not even one more goes into a new file. (ext4 still shows a few
    // hundred KiB free: its own reserve for metadata, which takes no data, not even root's.)
    const HANDLE next = CreateAsTheEraserDoes("next.FVNTMP");
    ASSERT_NE(next, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(P().WriteFile(next, block.get(), 512, done));
    EXPECT_EQ(done, 0u);
    EXPECT_EQ(P().GetLastError(), ERROR_DISK_FULL);
    EXPECT_TRUE(P().CloseHandle(next));
    EXPECT_TRUE(P().DeleteFile("X:\\next.FVNTMP"));

    uint64_t available = 0, all = 0, free = 0;

    EXPECT_TRUE(P().DeleteFile("X:\\fill.FVNTMP"));
    ASSERT_TRUE(P().GetDiskFreeSpaceEx("X:\\", available, all, free));
    EXPECT_GE(available, total);
}

TEST_F(RealVolume, RootIsOfferedTheReservedBlocks) {
    uint64_t available = 0, total = 0, free = 0;
    ASSERT_TRUE(P().GetDiskFreeSpaceEx("X:\\", available, total, free));
    struct statvfs sv {};
    ASSERT_EQ(::statvfs(backend_->Folder().c_str(), &sv), 0);
    ASSERT_GT(sv.f_bfree, sv.f_bavail) << "mkfs.ext4 reserves blocks by default";
    EXPECT_EQ(available, uint64_t{sv.f_bfree} * sv.f_frsize);
    EXPECT_EQ(free, uint64_t{sv.f_bfree} * sv.f_frsize);
    EXPECT_EQ(total, uint64_t{sv.f_blocks} * sv.f_frsize);
}

TEST_F(RealVolume, TheDrivesVolumeDeviceReadsRaw) {
    const HANDLE v = P().OpenVolume("\\\\.\\X:");
    ASSERT_NE(v, INVALID_HANDLE_VALUE);
    uint32_t sector = 0;
    uint64_t size = 0;
    ASSERT_TRUE(P().GetVolumeSectorSize(v, sector));
    EXPECT_EQ(sector, 512u);
    ASSERT_TRUE(P().GetVolumeByteSize(v, size));
    EXPECT_EQ(size, backend_->Volume().ByteSize());

    unsigned char superblock[1024];
    uint32_t done = 0;
    ASSERT_TRUE(P().ReadVolume(v, 1024, superblock, sizeof superblock, done));
    EXPECT_EQ(done, sizeof superblock);
    EXPECT_EQ(superblock[0x38] | superblock[0x39] << 8, 0xEF53);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(superblock + 0x78)), "FVNTEST");

    char buffer[4096];
    ASSERT_TRUE(P().ReadVolume(v, size - 100, buffer, sizeof buffer, done));
    EXPECT_EQ(done, 100u);
    ASSERT_TRUE(P().ReadVolume(v, size, buffer, sizeof buffer, done));
    EXPECT_EQ(done, 0u);
    EXPECT_TRUE(P().LockVolume(v));
    EXPECT_TRUE(P().UnlockVolume(v));
    EXPECT_TRUE(P().CloseHandle(v));
}

TEST_F(RealVolume, TheLiveDriveTableListsTheMountedImage) {
    const auto table = posix::SystemDriveTable();
    auto it = std::find_if(table.begin(), table.end(), [&](const DriveEntry& d) { return d.Device == backend_->Volume().Device(); });
    ASSERT_NE(it, table.end());
    EXPECT_EQ(it->MountPoint, backend_->Folder());
    EXPECT_EQ(it->FileSystem, "ext4");
    EXPECT_EQ(it->Label, "FVNTEST");
    EXPECT_EQ(it->DriveType, DRIVE_FIXED);
    EXPECT_EQ(it->TypeName, "Local Disk");
    EXPECT_EQ(it->DisplayName, std::string("FVNTEST (") + it->Letter + ":) on " + backend_->Folder());
    EXPECT_GE(it->Letter, 'D');
    EXPECT_EQ(it->SerialNumber, posix::SerialFromUuid([&] {
        // the UUID mkfs gave it, from the superblock as blkid would show it
        unsigned char sb[1024];
        std::ifstream in(backend_->Volume().Device(), std::ios::binary);
        in.seekg(1024);
        in.read(reinterpret_cast<char*>(sb), sizeof sb);
        char text[37];
        std::snprintf(text, sizeof text, "%02x%02x%02x%02x-%02x%02x-%02x%02x-%02x%02x-%02x%02x%02x%02x%02x%02x",
                      sb[0x68], sb[0x69], sb[0x6a], sb[0x6b], sb[0x6c], sb[0x6d], sb[0x6e], sb[0x6f], sb[0x70],
                      sb[0x71], sb[0x72], sb[0x73], sb[0x74], sb[0x75], sb[0x76], sb[0x77]);
        return std::string(text);
    }()));

    struct stat st {};
    ASSERT_EQ(::stat(backend_->Volume().Device().c_str(), &st), 0);
    EXPECT_EQ(posix::LogicalSectorSize(major(st.st_rdev), minor(st.st_rdev)), 512u);
    EXPECT_EQ(posix::ReadExtLabel(backend_->Volume().Device()), "FVNTEST");
}

}  // namespace
