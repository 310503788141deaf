#pragma once
// The Linux backend of the platform interface: drive letters from a drive table, Win32 file
// semantics on top of POSIX calls, the registry kept in memory.
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/Platform.h"

namespace platform {

class PosixPlatform : public IPlatform {
public:
    // The system's drive table, read once from /proc/self/mountinfo and kept for the process's life.
    PosixPlatform();
    // A table of the caller's own (tests give only their own volumes or temp folders; an entry
    // may have an empty Device).
    explicit PosixPlatform(std::vector<DriveEntry> table);
    // Closes whatever handles are still open.
    ~PosixPlatform() override;
    PosixPlatform(const PosixPlatform&) = delete;
    PosixPlatform& operator=(const PosixPlatform&) = delete;

    // The native path a caller's path stands for: "E:\a\b" becomes "<mount point of E>/a/b",
    // other paths stay as they are; nothing when the path names a drive that is not in the table.
    [[nodiscard]] std::optional<std::string> NativePath(const std::string& path) const;

    HANDLE CreateFile(const std::string& fileName, uint32_t desiredAccess, uint32_t shareMode,
                      uint32_t creationDisposition, uint32_t flagsAndAttributes) override;
    bool ReadFile(HANDLE file, void* buffer, uint32_t count, uint32_t& bytesRead) override;
    bool WriteFile(HANDLE file, const void* buffer, uint32_t count, uint32_t& bytesWritten) override;
    uint32_t SetFilePointer(HANDLE file, int32_t distanceLow, int32_t* distanceHigh, uint32_t moveMethod) override;
    bool FlushFileBuffers(HANDLE file) override;
    bool CloseHandle(HANDLE handle) override;
    bool DeleteFile(const std::string& fileName) override;
    HANDLE FindFirstFile(const std::string& pattern, FindData& data) override;
    bool FindNextFile(HANDLE find, FindData& data) override;
    bool FindClose(HANDLE find) override;

    bool GetDiskFreeSpace(const std::string& root, uint32_t& sectorsPerCluster, uint32_t& bytesPerSector,
                          uint32_t& numberOfFreeClusters, uint32_t& totalNumberOfClusters) override;
    bool GetDiskFreeSpaceEx(const std::string& root, uint64_t& freeBytesAvailableToCaller,
                            uint64_t& totalNumberOfBytes, uint64_t& totalNumberOfFreeBytes) override;
    uint32_t GetDriveType(const std::string& root) override;
    bool GetVolumeInformation(const std::string& root, VolumeInformation& info) override;
    uint32_t GetLogicalDrives() override;
    std::vector<DriveEntry> GetDriveTable() override;
    char DriveOfPath(const std::string& path) override;
    std::string GetCurrentDirectory() override;
    bool SetCurrentDirectory(const std::string& path) override;
    uint32_t SetErrorMode(uint32_t mode) override;

    uint32_t GetLastError() override;
    void SetLastError(uint32_t code) override;
    FailureContext LastFailure() override;

    bool RegCreateKey(RegRoot root, const std::string& key) override;
    std::optional<RegValue> RegQueryValue(RegRoot root, const std::string& key, const std::string& name) override;
    bool RegSetValue(RegRoot root, const std::string& key, const std::string& name, const RegValue& value) override;
    bool RegDeleteValue(RegRoot root, const std::string& key, const std::string& name) override;

    bool ShellOpen(const std::string& target) override;

    HANDLE OpenVolume(const std::string& device) override;
    bool ReadVolume(HANDLE volume, uint64_t position, void* buffer, uint32_t count, uint32_t& bytesRead) override;
    bool LockVolume(HANDLE volume) override;
    bool UnlockVolume(HANDLE volume) override;
    bool GetVolumeSectorSize(HANDLE volume, uint32_t& bytes) override;
    bool GetVolumeByteSize(HANDLE volume, uint64_t& bytes) override;

private:
    struct OpenFile {
        int Fd = -1;
        std::string Path;  // as the caller named it, for failure messages
    };
    struct OpenFind {
        std::vector<FindData> Entries;
        size_t Next = 0;
    };
    struct OpenVolumeDevice {
        int Fd = -1;
        std::string Path;
        bool IsBlockDevice = false;
    };
    using RegKey = std::pair<RegRoot, std::string>;

    const DriveEntry* EntryOf(char letter) const;
    HANDLE NewHandle();
    std::optional<OpenFile> FileOf(HANDLE handle);
    std::optional<OpenVolumeDevice> VolumeOf(HANDLE handle);
    bool Fail(const char* operation, const std::string& path, uint32_t error, int64_t offset = -1, int64_t length = -1);
    bool FailErrno(const char* operation, const std::string& path, const std::string& nativePath, int error);

    std::vector<DriveEntry> table_;
    mutable std::mutex mutex_;  // guards the handle maps and the registry
    HANDLE nextHandle_ = 0x100;
    std::map<HANDLE, OpenFile> files_;
    std::map<HANDLE, OpenFind> finds_;
    std::map<HANDLE, OpenVolumeDevice> volumes_;
    std::map<RegKey, std::map<std::string, RegValue>> registry_;
    uint32_t errorMode_ = 0;
};

}  // namespace platform
