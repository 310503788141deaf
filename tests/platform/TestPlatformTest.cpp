// What the test double adds to the backend it wraps: capacity limits, injected failures and
// short writes, which the engine's and the GUI's failure-path tests are built on.
#include "platform/testing/TestPlatform.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <vector>

#include "PlatformBackends.h"

using namespace platform;
using namespace fvntest;
using Call = TestPlatform::Call;

namespace {

class TestPlatformTest : public ::testing::Test {
protected:
    TestPlatform& T() { return backend_.Double(); }
    std::string Native(const std::string& name) const { return backend_.Folder() + "/" + name; }

    HANDLE Create(const std::string& name, uint32_t disposition = CREATE_ALWAYS) {
        return T().CreateFile("X:\\" + name, GENERIC_READ | GENERIC_WRITE, 0, disposition,
                              FILE_FLAG_NO_BUFFERING | FILE_FLAG_WRITE_THROUGH);
    }
    bool Write(HANDLE h, uint32_t count, uint32_t& done) {
        buffer_.assign(count, 'w');
        return T().WriteFile(h, buffer_.data(), count, done);
    }
    uint64_t FreeBytes(const std::string& root, uint64_t* total = nullptr) {
        uint64_t available = 0, all = 0, free = 0;
        EXPECT_TRUE(T().GetDiskFreeSpaceEx(root, available, all, free));
        EXPECT_LE(available, free);
        if (total != nullptr) *total = all;
        return available;
    }

    DoubleBackend backend_;
    std::vector<char> buffer_;
};

TEST_F(TestPlatformTest, CapacityLimitWritesWhatFitsThenReportsDiskFull) {
    T().LimitCapacity("X:\\", 100000);
    uint64_t total = 0;
    EXPECT_EQ(FreeBytes("X:\\", &total), 100000u);
    EXPECT_EQ(total, 100000u);

    const HANDLE h = Create("1A2B3C4D.FVNTMP");
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    uint32_t done = 0;
    ASSERT_TRUE(Write(h, 65536, done));
    EXPECT_EQ(FreeBytes("X:\\"), 100000u - 65536);

    EXPECT_FALSE(Write(h, 65536, done));
    EXPECT_EQ(done, 100000u - 65536);
    EXPECT_EQ(T().GetLastError(), ERROR_DISK_FULL);
    const FailureContext failure = T().LastFailure();
    EXPECT_EQ(failure.Operation, "WriteFile");
    EXPECT_EQ(failure.Path, "X:\\1A2B3C4D.FVNTMP");
    EXPECT_EQ(failure.Offset, 65536);
    EXPECT_EQ(failure.Length, 65536);
    EXPECT_EQ(std::filesystem::file_size(Native("1A2B3C4D.FVNTMP")), 100000u);

    // Full: every path under the folder says so, in both forms.
    std::filesystem::create_directory(Native("sub"));
    EXPECT_EQ(FreeBytes(Native("sub")), 0u);
    uint32_t sectorsPerCluster = 0, bytesPerSector = 0, freeClusters = 1, totalClusters = 0;
    ASSERT_TRUE(T().GetDiskFreeSpace("X:\\", sectorsPerCluster, bytesPerSector, freeClusters, totalClusters));
    EXPECT_EQ(freeClusters, 0u);
    EXPECT_EQ(totalClusters, 100000u / (sectorsPerCluster * bytesPerSector));

    // Writing over what the file holds needs no new space.
    ASSERT_EQ(T().SetFilePointer(h, 0, nullptr, FILE_BEGIN), 0u);
    EXPECT_TRUE(Write(h, 4096, done));
    EXPECT_TRUE(T().CloseHandle(h));

    // A second file gets nothing, not even a byte.
    const HANDLE second = Create("5E6F7A8B.FVNTMP", CREATE_NEW);
    ASSERT_NE(second, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(Write(second, 512, done));
    EXPECT_EQ(done, 0u);
    EXPECT_EQ(T().GetLastError(), ERROR_DISK_FULL);
    EXPECT_TRUE(T().CloseHandle(second));

    // Deleting gives the space back; so does truncating with CREATE_ALWAYS.
    EXPECT_TRUE(T().DeleteFile("X:\\1A2B3C4D.FVNTMP"));
    EXPECT_EQ(FreeBytes("X:\\"), 100000u);
    const HANDLE again = Create("5E6F7A8B.FVNTMP", OPEN_EXISTING);
    ASSERT_TRUE(Write(again, 30000, done));
    EXPECT_TRUE(T().CloseHandle(again));
    EXPECT_EQ(FreeBytes("X:\\"), 70000u);
    const HANDLE truncated = Create("5E6F7A8B.FVNTMP", CREATE_ALWAYS);
    EXPECT_EQ(FreeBytes("X:\\"), 100000u);
    EXPECT_TRUE(T().CloseHandle(truncated));
}

TEST_F(TestPlatformTest, CapacityLimitCoversOnlyItsFolder) {
    std::filesystem::create_directory(Native("limited"));
    T().LimitCapacity(Native("limited"), 1000);
    uint64_t realFree = FreeBytes("X:\\");
    EXPECT_GT(realFree, 1000u);
    EXPECT_EQ(FreeBytes("X:\\limited\\"), 1000u);

    const HANDLE outside = Create("outside.bin");
    uint32_t done = 0;
    EXPECT_TRUE(Write(outside, 4096, done));
    EXPECT_TRUE(T().CloseHandle(outside));
    EXPECT_EQ(FreeBytes("X:\\limited"), 1000u);

    const HANDLE inside = Create("limited\\inside.bin");
    EXPECT_FALSE(Write(inside, 4096, done));
    EXPECT_EQ(done, 1000u);
    EXPECT_TRUE(T().CloseHandle(inside));
}

TEST_F(TestPlatformTest, FailCallFailsTheNthCallsAndTransfersNothing) {
    const HANDLE h = Create("data.bin");
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    T().FailCall(Call::WriteFile, 2, ERROR_IO_DEVICE, 2);
    std::vector<bool> results;
    uint32_t done = 0;
    for (int i = 0; i < 4; ++i) {
        results.push_back(Write(h, 10, done));
        EXPECT_EQ(done, results.back() ? 10u : 0u);
        if (i == 2) {
            EXPECT_EQ(T().GetLastError(), ERROR_IO_DEVICE);
            EXPECT_EQ(T().LastFailure().Operation, "WriteFile");
            EXPECT_EQ(T().LastFailure().Offset, 10);
            EXPECT_EQ(T().LastFailure().Length, 10);
        }
    }
    EXPECT_EQ(results, (std::vector<bool>{true, false, false, true}));
    EXPECT_EQ(T().CallCount(Call::WriteFile), 4);
    EXPECT_TRUE(T().CloseHandle(h));
    EXPECT_EQ(std::filesystem::file_size(Native("data.bin")), 20u);

    // Forever, until Reset.
    T().FailCall(Call::CreateFile, 1, ERROR_ACCESS_DENIED, -1);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(Create("never.bin"), INVALID_HANDLE_VALUE);
    EXPECT_FALSE(std::filesystem::exists(Native("never.bin")));
    T().Reset();
    EXPECT_EQ(T().CallCount(Call::CreateFile), 0);
    const HANDLE now = Create("never.bin");
    EXPECT_NE(now, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(T().CloseHandle(now));

    // A real failure after an injected one is the latest again.
    EXPECT_FALSE(T().DeleteFile("X:\\absent.bin"));
    EXPECT_EQ(T().LastFailure().Operation, "DeleteFile");
    EXPECT_EQ(T().LastFailure().Error, ERROR_FILE_NOT_FOUND);
}

TEST_F(TestPlatformTest, EveryCountedCallCanBeFailed) {
    WriteNativeFile(Native("file.bin"), "0123456789");
    FindData find;
    uint32_t u = 0;
    char bytes[16];
    VolumeInformation info;
    // Each check makes the call once and says whether it failed.
    const std::vector<std::pair<Call, std::function<bool(HANDLE)>>> cases = {
        {Call::CreateFile, [&](HANDLE) {
             HANDLE h = Create("other.bin");
             return h == INVALID_HANDLE_VALUE || !T().CloseHandle(h);
         }},
        {Call::ReadFile, [&](HANDLE h) { return !T().ReadFile(h, bytes, 4, u); }},
        {Call::WriteFile, [&](HANDLE h) { return !T().WriteFile(h, "ab", 2, u); }},
        {Call::SetFilePointer, [&](HANDLE h) { return T().SetFilePointer(h, 0, nullptr, FILE_BEGIN) == INVALID_SET_FILE_POINTER; }},
        {Call::FlushFileBuffers, [&](HANDLE h) { return !T().FlushFileBuffers(h); }},
        {Call::DeleteFile, [&](HANDLE) { WriteNativeFile(Native("gone.bin"), ""); return !T().DeleteFile("X:\\gone.bin"); }},
        {Call::FindFirstFile, [&](HANDLE) {
             HANDLE f = T().FindFirstFile("X:\\*.bin", find);
             return f == INVALID_HANDLE_VALUE || !T().FindClose(f);
         }},
        {Call::FindNextFile, [&](HANDLE) {
             WriteNativeFile(Native("second.bin"), "");
             HANDLE f = T().FindFirstFile("X:\\*.bin", find);
             const bool failed = !T().FindNextFile(f, find);
             T().FindClose(f);
             return failed;
         }},
        {Call::GetDiskFreeSpace, [&](HANDLE) { uint32_t a, b, c, d; return !T().GetDiskFreeSpace("X:\\", a, b, c, d); }},
        {Call::GetDiskFreeSpaceEx, [&](HANDLE) { uint64_t a, b, c; return !T().GetDiskFreeSpaceEx("X:\\", a, b, c); }},
        {Call::GetDriveType, [&](HANDLE) { return T().GetDriveType("X:\\") == DRIVE_UNKNOWN; }},
        {Call::GetVolumeInformation, [&](HANDLE) { return !T().GetVolumeInformation("X:\\", info); }},
        {Call::SetCurrentDirectory, [&](HANDLE) {
             CurrentFolderGuard guard;
             return !T().SetCurrentDirectory("X:\\");
         }},
        {Call::OpenVolume, [&](HANDLE) {
             HANDLE v = T().OpenVolume("X:\\file.bin");
             return v == INVALID_HANDLE_VALUE || !T().CloseHandle(v);
         }},
        {Call::ReadVolume, [&](HANDLE) {
             HANDLE v = T().OpenVolume("X:\\file.bin");
             const bool failed = !T().ReadVolume(v, 0, bytes, 4, u);
             T().CloseHandle(v);
             return failed;
         }},
        {Call::LockVolume, [&](HANDLE) {
             HANDLE v = T().OpenVolume("X:\\file.bin");
             const bool failed = !T().LockVolume(v);
             T().CloseHandle(v);
             return failed;
         }},
        {Call::RegSetValue, [&](HANDLE) {
             T().RegCreateKey(RegRoot::CurrentUser, "K");
             return !T().RegSetValue(RegRoot::CurrentUser, "K", "V", RegValue{REG_DWORD, {1, 0, 0, 0}});
         }},
        {Call::CloseHandle, [&](HANDLE) { return !T().CloseHandle(Create("closing.bin")); }},
    };
    for (const auto& [op, call] : cases) {
        SCOPED_TRACE(static_cast<int>(op));
        const HANDLE h = Create("file.bin", OPEN_EXISTING);
        ASSERT_NE(h, INVALID_HANDLE_VALUE);
        T().Reset();
        T().FailCall(op, 1, ERROR_NOT_READY);
        EXPECT_TRUE(call(h));
        EXPECT_EQ(T().GetLastError(), ERROR_NOT_READY);
        EXPECT_EQ(T().LastFailure().Error, ERROR_NOT_READY);
        EXPECT_FALSE(T().LastFailure().Operation.empty());
        EXPECT_EQ(T().CallCount(op), 1);
        EXPECT_FALSE(call(h)) << "only the first call fails";
        T().CloseHandle(h);
    }
    EXPECT_EQ(ReadNativeFile(Native("file.bin")).substr(0, 2), "ab");  // the second write went through
}

TEST_F(TestPlatformTest, PartialWriteShortensTheNthWrite) {
    const HANDLE h = Create("short.bin");
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    uint32_t done = 0;

    T().PartialWrite(1, 100);
    EXPECT_TRUE(Write(h, 4096, done));
    EXPECT_EQ(done, 100u);

    T().PartialWrite(2, 50, ERROR_IO_DEVICE);
    EXPECT_TRUE(Write(h, 10, done));
    EXPECT_FALSE(Write(h, 4096, done));
    EXPECT_EQ(done, 50u);
    EXPECT_EQ(T().GetLastError(), ERROR_IO_DEVICE);
    EXPECT_EQ(T().LastFailure().Offset, 110);

    // With FailCall on the same write, its error follows the part written.
    T().PartialWrite(1, 30);
    T().FailCall(Call::WriteFile, 1, ERROR_CRC);
    EXPECT_FALSE(Write(h, 4096, done));
    EXPECT_EQ(done, 30u);
    EXPECT_EQ(T().GetLastError(), ERROR_CRC);

    EXPECT_TRUE(T().CloseHandle(h));
    EXPECT_EQ(std::filesystem::file_size(Native("short.bin")), 100u + 10 + 50 + 30);
}

TEST_F(TestPlatformTest, OnCallSeesEachCallBeforeItRuns) {
    std::vector<Call> seen;
    bool fileExistedAtWrite = false;
    T().OnCall = [&](Call op) {
        seen.push_back(op);
        if (op == Call::WriteFile) fileExistedAtWrite = std::filesystem::exists(Native("hook.bin"));
        if (op == Call::DeleteFile) T().FailCall(Call::DeleteFile, 1, ERROR_SHARING_VIOLATION);
    };
    const HANDLE h = Create("hook.bin");
    uint32_t done = 0;
    Write(h, 8, done);
    T().CloseHandle(h);
    EXPECT_TRUE(T().DeleteFile("X:\\hook.bin"));   // counted before the hook, so the next one fails
    EXPECT_FALSE(T().DeleteFile("X:\\hook.bin"));
    EXPECT_EQ(T().GetLastError(), ERROR_SHARING_VIOLATION);
    EXPECT_TRUE(fileExistedAtWrite);
    EXPECT_EQ(seen, (std::vector<Call>{Call::CreateFile, Call::WriteFile, Call::CloseHandle, Call::DeleteFile,
                                       Call::DeleteFile}));
}

}  // namespace
