// One suite for every backend of the platform interface: what the engine, the writer and the
// inspector rely on must hold on each of them alike.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <filesystem>
#include <algorithm>
#include <map>
#include <set>
#include <thread>
#include <vector>

#include "PlatformBackends.h"
#include "platform/posix/DriveTable.h"

using namespace platform;
using namespace fvntest;

namespace {

template <class Backend>
class PlatformConformance : public BackendTest<Backend> {
protected:
    static std::string Drive(const std::string& name) { return std::string(1, kLetter) + ":\\" + name; }

    HANDLE Create(const std::string& name, uint32_t disposition, uint32_t access = GENERIC_READ | GENERIC_WRITE,
                  uint32_t flags = 0) {
        return this->P().CreateFile(Drive(name), access, 0, disposition, flags);
    }
};

struct BackendNames {
    template <class T>
    static std::string GetName(int) {
        return T::Name;
    }
};

using Backends = ::testing::Types<TempFolderBackend, LoopVolumeBackend, DoubleBackend>;
TYPED_TEST_SUITE(PlatformConformance, Backends, BackendNames);

TYPED_TEST(PlatformConformance, CreateFileFollowsItsDisposition) {
    const struct {
        const char* Case;
        uint32_t Disposition;
        bool Exists;
        bool Opens;
        uint32_t Error;
        const char* ContentAfter;  // nullptr: no file afterwards
    } cases[] = {
        {"create-new on an existing file", CREATE_NEW, true, false, ERROR_FILE_EXISTS, "original"},
        {"create-new on a new name", CREATE_NEW, false, true, ERROR_SUCCESS, ""},
        {"create-always on an existing file", CREATE_ALWAYS, true, true, ERROR_ALREADY_EXISTS, ""},
        {"create-always on a new name", CREATE_ALWAYS, false, true, ERROR_SUCCESS, ""},
        {"open-existing on an existing file", OPEN_EXISTING, true, true, ERROR_SUCCESS, "original"},
        {"open-existing on a new name", OPEN_EXISTING, false, false, ERROR_FILE_NOT_FOUND, nullptr},
        {"open-always on an existing file", OPEN_ALWAYS, true, true, ERROR_ALREADY_EXISTS, "original"},
        {"open-always on a new name", OPEN_ALWAYS, false, true, ERROR_SUCCESS, ""},
        {"truncate-existing on an existing file", TRUNCATE_EXISTING, true, true, ERROR_SUCCESS, ""},
        {"truncate-existing on a new name", TRUNCATE_EXISTING, false, false, ERROR_FILE_NOT_FOUND, nullptr},
    };
    int i = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Case);
        const std::string name = "file" + std::to_string(i++) + ".bin";
        if (c.Exists) WriteNativeFile(this->Native(name), "original");
        this->P().SetLastError(12345);
        const HANDLE h = this->Create(name, c.Disposition);
        const uint32_t error = this->P().GetLastError();
        EXPECT_EQ(h != INVALID_HANDLE_VALUE, c.Opens);
        EXPECT_EQ(error, c.Error);
        if (h != INVALID_HANDLE_VALUE) {
            EXPECT_NE(h, 0);
            EXPECT_TRUE(this->P().CloseHandle(h));
        }
        if (c.ContentAfter == nullptr) {
            EXPECT_FALSE(std::filesystem::exists(this->Native(name)));
        } else {
            EXPECT_EQ(ReadNativeFile(this->Native(name)), c.ContentAfter);
        }
    }
}

TYPED_TEST(PlatformConformance, CreateFileRefusesFoldersMissingFoldersAndUnknownDrives) {
    std::filesystem::create_directory(this->Native("folder"));
    const struct {
        std::string Path;
        uint32_t Disposition;
        uint32_t Error;
    } cases[] = {
        {this->Drive("folder"), OPEN_EXISTING, ERROR_ACCESS_DENIED},
        {this->Drive("folder"), CREATE_ALWAYS, ERROR_ACCESS_DENIED},
        {this->Drive("missing\\file.bin"), CREATE_ALWAYS, ERROR_PATH_NOT_FOUND},
        {this->Drive("missing\\file.bin"), OPEN_EXISTING, ERROR_PATH_NOT_FOUND},
        {"Q:\\file.bin", CREATE_ALWAYS, ERROR_PATH_NOT_FOUND},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Path);
        EXPECT_EQ(this->P().CreateFile(c.Path, GENERIC_READ | GENERIC_WRITE, 0, c.Disposition, 0), INVALID_HANDLE_VALUE);
        EXPECT_EQ(this->P().GetLastError(), c.Error);
    }
}

TYPED_TEST(PlatformConformance, WritesReadsAndSeeksRoundTripWithTheEngineFlags) {
    // The engine's flags with a buffer and a count no sector size divides: a backend that
    // cannot do unbuffered I/O here must still get every byte there.
    const uint32_t flags = FILE_FLAG_NO_BUFFERING | FILE_FLAG_WRITE_THROUGH | FILE_FLAG_SEQUENTIAL_SCAN;
    std::vector<char> data(100003);
    for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>(i * 7 + i / 251);
    const HANDLE h = this->Create("round.bin", CREATE_ALWAYS, GENERIC_READ | GENERIC_WRITE, flags);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    uint32_t done = 0;
    ASSERT_TRUE(this->P().WriteFile(h, data.data() + 1, 100000, done));
    EXPECT_EQ(done, 100000u);
    EXPECT_TRUE(this->P().FlushFileBuffers(h));

    EXPECT_EQ(this->P().SetFilePointer(h, 0, nullptr, FILE_BEGIN), 0u);
    std::vector<char> back(100000);
    ASSERT_TRUE(this->P().ReadFile(h, back.data(), 100000, done));
    EXPECT_EQ(done, 100000u);
    EXPECT_TRUE(std::equal(back.begin(), back.end(), data.begin() + 1));
    ASSERT_TRUE(this->P().ReadFile(h, back.data(), 4096, done));  // end of file: success, nothing read
    EXPECT_EQ(done, 0u);

    EXPECT_EQ(this->P().SetFilePointer(h, -10, nullptr, FILE_END), 99990u);
    EXPECT_EQ(this->P().SetFilePointer(h, 4, nullptr, FILE_CURRENT), 99994u);
    ASSERT_TRUE(this->P().ReadFile(h, back.data(), 4096, done));
    EXPECT_EQ(done, 6u);
    EXPECT_EQ(back[0], data[1 + 99994]);
    EXPECT_TRUE(this->P().CloseHandle(h));
    EXPECT_EQ(std::filesystem::file_size(this->Native("round.bin")), 100000u);
    EXPECT_FALSE(this->P().CloseHandle(h));
    EXPECT_EQ(this->P().GetLastError(), ERROR_INVALID_HANDLE);
}

TYPED_TEST(PlatformConformance, SetFilePointerHasBothWin32Forms) {
    const HANDLE h = this->Create("seek.bin", CREATE_ALWAYS);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    IPlatform& p = this->P();

    // 64-bit form to 5 GiB: low half back as the result, high half into the variable.
    int32_t high = 1;
    EXPECT_EQ(p.SetFilePointer(h, 0x40000000, &high, FILE_BEGIN), 0x40000000u);
    EXPECT_EQ(high, 1);
    EXPECT_EQ(p.GetLastError(), ERROR_SUCCESS);

    // The 32-bit form cannot tell a position beyond 4 GiB, and does not move.
    EXPECT_EQ(p.SetFilePointer(h, 0, nullptr, FILE_CURRENT), INVALID_SET_FILE_POINTER);
    EXPECT_EQ(p.GetLastError(), ERROR_INVALID_PARAMETER);
    high = 0;
    EXPECT_EQ(p.SetFilePointer(h, 0, &high, FILE_CURRENT), 0x40000000u);
    EXPECT_EQ(high, 1);

    // Low half all ones is a position, told from a failure by the last error.
    p.SetLastError(ERROR_GEN_FAILURE);
    high = 0;
    EXPECT_EQ(p.SetFilePointer(h, -1, &high, FILE_BEGIN), 0xFFFFFFFFu);
    EXPECT_EQ(high, 0);
    EXPECT_EQ(p.GetLastError(), ERROR_SUCCESS);
    p.SetLastError(ERROR_GEN_FAILURE);
    EXPECT_EQ(p.SetFilePointer(h, 0, nullptr, FILE_CURRENT), 0xFFFFFFFFu);
    EXPECT_EQ(p.GetLastError(), ERROR_SUCCESS);

    // 32-bit distances are signed.
    EXPECT_EQ(p.SetFilePointer(h, 0x7FFFFFFF, nullptr, FILE_BEGIN), 0x7FFFFFFFu);
    EXPECT_EQ(p.SetFilePointer(h, -0x7FFFFFFF, nullptr, FILE_CURRENT), 0u);
    EXPECT_EQ(p.SetFilePointer(h, -1, nullptr, FILE_BEGIN), INVALID_SET_FILE_POINTER);
    EXPECT_EQ(p.GetLastError(), ERROR_NEGATIVE_SEEK);
    high = -1;
    EXPECT_EQ(p.SetFilePointer(h, -1, &high, FILE_END), INVALID_SET_FILE_POINTER);
    EXPECT_EQ(p.GetLastError(), ERROR_NEGATIVE_SEEK);
    EXPECT_EQ(p.SetFilePointer(h, 0, nullptr, 7), INVALID_SET_FILE_POINTER);
    EXPECT_EQ(p.GetLastError(), ERROR_INVALID_PARAMETER);

    // A write at a 64-bit position lands there.
    high = 0;
    ASSERT_EQ(p.SetFilePointer(h, 0x10000, &high, FILE_BEGIN), 0x10000u);
    uint32_t done = 0;
    ASSERT_TRUE(p.WriteFile(h, "tail", 4, done));
    EXPECT_TRUE(p.CloseHandle(h));
    EXPECT_EQ(std::filesystem::file_size(this->Native("seek.bin")), 0x10004u);
}

TYPED_TEST(PlatformConformance, DeleteFileAndItsErrors) {
    WriteNativeFile(this->Native("plain.bin"), "x");
    WriteNativeFile(this->Native("readonly.bin"), "x");
    ::chmod(this->Native("readonly.bin").c_str(), 0444);
    std::filesystem::create_directory(this->Native("folder"));
    const struct {
        const char* Name;
        bool Deletes;
        uint32_t Error;
        bool ExistsAfter;
    } cases[] = {
        {"plain.bin", true, ERROR_SUCCESS, false},
        {"plain.bin", false, ERROR_FILE_NOT_FOUND, false},
        {"missing\\plain.bin", false, ERROR_PATH_NOT_FOUND, false},
        {"readonly.bin", false, ERROR_ACCESS_DENIED, true},  // even for root, as Win32's read-only attribute
        {"folder", false, ERROR_ACCESS_DENIED, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        EXPECT_EQ(this->P().DeleteFile(this->Drive(c.Name)), c.Deletes);
        if (!c.Deletes) {
            EXPECT_EQ(this->P().GetLastError(), c.Error);
        }
        std::string native = this->Native(c.Name);
        std::replace(native.begin(), native.end(), '\\', '/');
        EXPECT_EQ(std::filesystem::exists(native), c.ExistsAfter);
    }
    // A file created with the read-only attribute takes its data through that handle, and is
    // read-only from then on.
    const HANDLE h = this->Create("made-readonly.bin", CREATE_NEW, GENERIC_WRITE, FILE_ATTRIBUTE_READONLY);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    uint32_t done = 0;
    EXPECT_TRUE(this->P().WriteFile(h, "data", 4, done));
    EXPECT_TRUE(this->P().CloseHandle(h));
    EXPECT_FALSE(this->P().DeleteFile(this->Drive("made-readonly.bin")));
    EXPECT_EQ(this->P().GetLastError(), ERROR_ACCESS_DENIED);
    EXPECT_EQ(ReadNativeFile(this->Native("made-readonly.bin")), "data");

    // Nor can a read-only file be opened for writing.
    EXPECT_EQ(this->Create("readonly.bin", OPEN_EXISTING, GENERIC_WRITE), INVALID_HANDLE_VALUE);
    EXPECT_EQ(this->P().GetLastError(), ERROR_ACCESS_DENIED);
    EXPECT_EQ(ReadNativeFile(this->Native("readonly.bin")), "x");
}

TYPED_TEST(PlatformConformance, FindsByMaskWithoutCaseAndWithoutEnteringFolders) {
    WriteNativeFile(this->Native("A1.FVNTMP"), "12345");
    WriteNativeFile(this->Native("b2.fvntmp"), "");
    WriteNativeFile(this->Native("c3.txt"), "");
    WriteNativeFile(this->Native(".hidden.FVNTMP"), "");
    WriteNativeFile(this->Native("ro.FVNTMP"), "");
    ::chmod(this->Native("ro.FVNTMP").c_str(), 0444);
    std::filesystem::create_directory(this->Native("sub.FVNTMP"));
    WriteNativeFile(this->Native("sub.FVNTMP/inner.FVNTMP"), "");

    FindData data;
    const HANDLE find = this->P().FindFirstFile(this->Drive("*.FvnTmp"), data);
    ASSERT_NE(find, INVALID_HANDLE_VALUE);
    std::map<std::string, FindData> found;
    do found[data.FileName] = data;
    while (this->P().FindNextFile(find, data));
    EXPECT_EQ(this->P().GetLastError(), ERROR_NO_MORE_FILES);
    EXPECT_TRUE(this->P().FindClose(find));

    std::set<std::string> names;
    for (const auto& [name, entry] : found) names.insert(name);
    EXPECT_EQ(names, (std::set<std::string>{".hidden.FVNTMP", "A1.FVNTMP", "b2.fvntmp", "ro.FVNTMP", "sub.FVNTMP"}));
    EXPECT_EQ(found["A1.FVNTMP"].FileSize, 5u);
    EXPECT_EQ(found["A1.FVNTMP"].FileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY), 0u);
    EXPECT_NE(found["sub.FVNTMP"].FileAttributes & FILE_ATTRIBUTE_DIRECTORY, 0u);
    EXPECT_NE(found[".hidden.FVNTMP"].FileAttributes & FILE_ATTRIBUTE_HIDDEN, 0u);
    EXPECT_NE(found["ro.FVNTMP"].FileAttributes & FILE_ATTRIBUTE_READONLY, 0u);

    const struct {
        std::string Pattern;
        const char* OnlyMatch;  // nullptr: no match
        uint32_t Error;
    } cases[] = {
        {this->Drive("?1.fvntmp"), "A1.FVNTMP", ERROR_SUCCESS},
        {this->Drive("C3.TXT"), "c3.txt", ERROR_SUCCESS},
        {this->Native("c*"), "c3.txt", ERROR_SUCCESS},
        {this->Drive("*.none"), nullptr, ERROR_FILE_NOT_FOUND},
        {this->Drive("missing\\*"), nullptr, ERROR_PATH_NOT_FOUND},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Pattern);
        const HANDLE h = this->P().FindFirstFile(c.Pattern, data);
        if (c.OnlyMatch == nullptr) {
            EXPECT_EQ(h, INVALID_HANDLE_VALUE);
            EXPECT_EQ(this->P().GetLastError(), c.Error);
            continue;
        }
        ASSERT_NE(h, INVALID_HANDLE_VALUE);
        EXPECT_EQ(data.FileName, c.OnlyMatch);
        EXPECT_FALSE(this->P().FindNextFile(h, data));
        EXPECT_TRUE(this->P().FindClose(h));
    }
}

TYPED_TEST(PlatformConformance, DrivePathsStandForTheMountPoint) {
    IPlatform& p = this->P();
    for (const std::string& path : {std::string("X:\\dir\\name.bin"), std::string("x:/dir/name.bin")}) {
        SCOPED_TRACE(path);
        std::filesystem::create_directory(this->Native("dir"));
        const HANDLE h = p.CreateFile(path, GENERIC_WRITE, 0, CREATE_NEW, 0);
        ASSERT_NE(h, INVALID_HANDLE_VALUE);
        EXPECT_TRUE(p.CloseHandle(h));
        EXPECT_TRUE(std::filesystem::exists(this->Native("dir/name.bin")));
        EXPECT_TRUE(p.DeleteFile(path));
    }
    EXPECT_EQ(p.GetDriveType("X:\\"), DRIVE_FIXED);
    EXPECT_EQ(p.GetDriveType("Q:\\"), DRIVE_NO_ROOT_DIR);
    EXPECT_EQ(p.GetLogicalDrives(), 1u << (kLetter - 'A'));
    ASSERT_EQ(p.GetDriveTable().size(), 1u);
    EXPECT_EQ(p.GetDriveTable()[0].Letter, kLetter);
    EXPECT_EQ(p.DriveOfPath(this->Native("dir/name.bin")), kLetter);
    EXPECT_EQ(p.DriveOfPath("x:\\anything"), kLetter);
    EXPECT_EQ(p.DriveOfPath("Q:\\anything"), 0);
    EXPECT_EQ(p.DriveOfPath(this->backend_->Folder() + "-sibling"), 0);

    VolumeInformation info;
    ASSERT_TRUE(p.GetVolumeInformation("X:\\", info));
    EXPECT_EQ(info.VolumeName, p.GetDriveTable()[0].Label);
    EXPECT_EQ(info.SerialNumber, p.GetDriveTable()[0].SerialNumber);
    EXPECT_EQ(info.MaxComponentLength, 255u);
    EXPECT_EQ(info.FileSystemName, posix::FileSystemOfPath(this->backend_->Folder()));
    EXPECT_FALSE(info.FileSystemName.empty());
    EXPECT_FALSE(p.GetVolumeInformation("Q:\\", info));
}

TYPED_TEST(PlatformConformance, ReportsFreeSpaceInBothForms) {
    IPlatform& p = this->P();
    uint64_t available = 0, total = 0, totalFree = 0;
    ASSERT_TRUE(p.GetDiskFreeSpaceEx("X:\\", available, total, totalFree));
    EXPECT_GT(total, 0u);
    EXPECT_LE(totalFree, total);
    EXPECT_LE(available, totalFree);
    if (::geteuid() == 0) {
        EXPECT_EQ(available, totalFree);  // root may fill the reserved blocks
    }

    uint32_t sectorsPerCluster = 0, bytesPerSector = 0, freeClusters = 0, totalClusters = 0;
    ASSERT_TRUE(p.GetDiskFreeSpace("X:\\", sectorsPerCluster, bytesPerSector, freeClusters, totalClusters));
    struct statvfs sv {};
    ASSERT_EQ(::statvfs(this->backend_->Folder().c_str(), &sv), 0);
    EXPECT_EQ(bytesPerSector, 512u);
    EXPECT_EQ(uint64_t{sectorsPerCluster} * bytesPerSector, sv.f_frsize);
    EXPECT_EQ(uint64_t{totalClusters} * sectorsPerCluster * bytesPerSector, total);

    EXPECT_FALSE(p.GetDiskFreeSpaceEx("X:\\missing\\", available, total, totalFree));
    EXPECT_EQ(p.GetLastError(), ERROR_PATH_NOT_FOUND);
    EXPECT_FALSE(p.GetDiskFreeSpaceEx("Q:\\", available, total, totalFree));
}

TYPED_TEST(PlatformConformance, CurrentFolderCanBeSetAndRestored) {
    CurrentFolderGuard guard;
    IPlatform& p = this->P();
    std::filesystem::create_directory(this->Native("sub"));
    const std::string saved = p.GetCurrentDirectory();
    ASSERT_FALSE(saved.empty());

    ASSERT_TRUE(p.SetCurrentDirectory("X:\\sub"));
    EXPECT_EQ(p.GetCurrentDirectory(), this->Native("sub"));
    ASSERT_TRUE(p.SetCurrentDirectory("X:\\"));
    EXPECT_EQ(p.GetCurrentDirectory(), this->backend_->Folder());

    EXPECT_FALSE(p.SetCurrentDirectory("X:\\missing"));
    EXPECT_EQ(p.GetLastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(p.SetCurrentDirectory("Q:\\"));
    EXPECT_EQ(p.GetLastError(), ERROR_PATH_NOT_FOUND);
    EXPECT_EQ(p.GetCurrentDirectory(), this->backend_->Folder());

    EXPECT_TRUE(p.SetCurrentDirectory(saved));
    EXPECT_EQ(p.GetCurrentDirectory(), saved);

    const uint32_t before = p.SetErrorMode(SEM_FAILCRITICALERRORS);
    EXPECT_EQ(p.SetErrorMode(before), SEM_FAILCRITICALERRORS);
}

TYPED_TEST(PlatformConformance, FailingCallsSetLastErrorAndContext) {
    IPlatform& p = this->P();
    EXPECT_EQ(this->Create("nope.bin", OPEN_EXISTING), INVALID_HANDLE_VALUE);
    FailureContext failure = p.LastFailure();
    EXPECT_EQ(failure.Operation, "CreateFile");
    EXPECT_EQ(failure.Path, "X:\\nope.bin");
    EXPECT_EQ(failure.Offset, -1);
    EXPECT_EQ(failure.Error, ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(failure.Text(), "CreateFile X:\\nope.bin: The system cannot find the file specified.");

    // A write through a handle opened for reading only.
    WriteNativeFile(this->Native("in.bin"), "0123456789");
    const HANDLE h = this->Create("in.bin", OPEN_EXISTING, GENERIC_READ);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    ASSERT_EQ(p.SetFilePointer(h, 3, nullptr, FILE_BEGIN), 3u);
    uint32_t done = 99;
    EXPECT_FALSE(p.WriteFile(h, "abc", 3, done));
    EXPECT_EQ(done, 0u);
    EXPECT_EQ(p.GetLastError(), ERROR_ACCESS_DENIED);
    failure = p.LastFailure();
    EXPECT_EQ(failure.Operation, "WriteFile");
    EXPECT_EQ(failure.Path, "X:\\in.bin");
    EXPECT_EQ(failure.Offset, 3);
    EXPECT_EQ(failure.Length, 3);
    EXPECT_TRUE(p.CloseHandle(h));
    EXPECT_EQ(ReadNativeFile(this->Native("in.bin")), "0123456789");

    // The last error belongs to the calling thread.
    p.SetLastError(4321);
    uint32_t seenByOther = 1;
    std::thread([&] {
        seenByOther = p.GetLastError();
        p.SetLastError(7);
    }).join();
    EXPECT_EQ(seenByOther, ERROR_SUCCESS);
    EXPECT_EQ(p.GetLastError(), 4321u);
}

TYPED_TEST(PlatformConformance, KeepsRegistryDwordValues) {
    IPlatform& p = this->P();
    const std::string key = "System\\CurrentControlSet\\Control\\FileSystem";
    const std::string name = "DisableLowDiskSpaceBroadcast";
    EXPECT_FALSE(p.RegQueryValue(RegRoot::LocalMachine, key, name).has_value());
    EXPECT_FALSE(p.RegSetValue(RegRoot::LocalMachine, key, name, RegValue{REG_DWORD, {1, 0, 0, 0}}));  // no key yet

    ASSERT_TRUE(p.RegCreateKey(RegRoot::LocalMachine, key));
    ASSERT_TRUE(p.RegSetValue(RegRoot::LocalMachine, key, name, RegValue{REG_DWORD, {0xFF, 0xFF, 0xFF, 0xFF}}));
    const auto value = p.RegQueryValue(RegRoot::LocalMachine, "SYSTEM\\currentcontrolset\\control\\filesystem", name);
    ASSERT_TRUE(value.has_value());
    EXPECT_EQ(value->Type, REG_DWORD);
    EXPECT_EQ(value->Data, (std::vector<uint8_t>{0xFF, 0xFF, 0xFF, 0xFF}));
    EXPECT_FALSE(p.RegQueryValue(RegRoot::CurrentUser, key, name).has_value());

    EXPECT_TRUE(p.RegDeleteValue(RegRoot::LocalMachine, key, name));
    EXPECT_FALSE(p.RegQueryValue(RegRoot::LocalMachine, key, name).has_value());
    EXPECT_FALSE(p.RegDeleteValue(RegRoot::LocalMachine, key, name));
}

TYPED_TEST(PlatformConformance, ReadsAnImageFileAsAVolume) {
    IPlatform& p = this->P();
    std::string image(3 * 512 + 100, '\0');
    for (size_t i = 0; i < image.size(); ++i) image[i] = static_cast<char>(i / 512 + 1);
    WriteNativeFile(this->Native("disk.img"), image);

    for (const std::string& path : {this->Drive("disk.img"), this->Native("disk.img")}) {
        SCOPED_TRACE(path);
        const HANDLE v = p.OpenVolume(path);
        ASSERT_NE(v, INVALID_HANDLE_VALUE);
        uint32_t sector = 0;
        uint64_t size = 0;
        EXPECT_TRUE(p.GetVolumeSectorSize(v, sector));
        EXPECT_EQ(sector, 512u);
        EXPECT_TRUE(p.GetVolumeByteSize(v, size));
        EXPECT_EQ(size, image.size());

        std::vector<char> buffer(512, 'z');
        uint32_t done = 0;
        ASSERT_TRUE(p.ReadVolume(v, 512, buffer.data(), 512, done));
        EXPECT_EQ(done, 512u);
        EXPECT_EQ(std::string(buffer.begin(), buffer.end()), image.substr(512, 512));
        ASSERT_TRUE(p.ReadVolume(v, 1536, buffer.data(), 512, done));  // short read at the end
        EXPECT_EQ(done, 100u);
        for (uint64_t past : {uint64_t{1636}, uint64_t{1} << 40}) {
            ASSERT_TRUE(p.ReadVolume(v, past, buffer.data(), 512, done));
            EXPECT_EQ(done, 0u);
        }

        // A second opener cannot take the lock while the first holds it.
        const HANDLE other = p.OpenVolume(path);
        ASSERT_NE(other, INVALID_HANDLE_VALUE);
        EXPECT_TRUE(p.LockVolume(v));
        EXPECT_FALSE(p.LockVolume(other));
        EXPECT_EQ(p.GetLastError(), ERROR_LOCK_VIOLATION);
        EXPECT_TRUE(p.UnlockVolume(v));
        EXPECT_TRUE(p.LockVolume(other));
        EXPECT_TRUE(p.CloseHandle(other));
        EXPECT_TRUE(p.CloseHandle(v));
    }
    EXPECT_EQ(p.OpenVolume(this->Drive("absent.img")), INVALID_HANDLE_VALUE);
    EXPECT_EQ(p.GetLastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(p.OpenVolume("\\\\.\\Q:"), INVALID_HANDLE_VALUE);
    EXPECT_EQ(p.GetLastError(), ERROR_FILE_NOT_FOUND);
}

}  // namespace
