#pragma once
// A backend for tests: forwards every call to a real backend (usually a PosixPlatform whose
// drive table holds only the test's own folders) and can, on top of it, limit a folder's
// capacity, fail chosen calls and shorten writes. One thread only.
#include <climits>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/Platform.h"

namespace platform {

class TestPlatform : public IPlatform {
public:
    enum class Call {
        CreateFile, ReadFile, WriteFile, SetFilePointer, FlushFileBuffers, CloseHandle, DeleteFile,
        FindFirstFile, FindNextFile, GetDiskFreeSpace, GetDiskFreeSpaceEx, GetDriveType,
        GetVolumeInformation, SetCurrentDirectory, OpenVolume, ReadVolume, LockVolume, RegSetValue,
    };

    explicit TestPlatform(IPlatform& inner);

    // folder: a native path or a drive root. Files written under it count against `bytes`; a
    // write beyond writes the part that fits and then fails with ERROR_DISK_FULL; free space
    // asked for the folder or any path under it is what is left (total = bytes). Deleting a
    // file, or truncating it with CREATE_ALWAYS or TRUNCATE_EXISTING, gives its bytes back.
    void LimitCapacity(const std::string& folder, uint64_t bytes);
    // The nth call of op counted from now (1-based) and the next times-1 fail with error
    // (times -1: all from the nth on). A failed read or write transfers nothing, unless
    // PartialWrite names the same write: then its part is written before the failure.
    void FailCall(Call op, int nth, uint32_t error, int times = 1);
    // The nth WriteFile call from now passes only `bytes` of its count on; with error 0 it
    // then reports success with that smaller count, else it fails with error.
    void PartialWrite(int nth, uint32_t bytes, uint32_t error = 0);
    // Calls of op made through this object since it was made or Reset.
    [[nodiscard]] int CallCount(Call op) const;
    // Forgets counts, failures, partial writes and capacity limits (OnCall stays).
    void Reset();
    // Runs at every counted call, after it is counted and before it is carried out.
    std::function<void(Call)> OnCall;

    HANDLE CreateFile(const std::string& fileName, uint32_t desiredAccess, uint32_t shareMode,
                      uint32_t creationDisposition, uint32_t flagsAndAttributes) override;
    bool ReadFile(HANDLE file, void* buffer, uint32_t count, uint32_t& bytesRead) override;
    bool WriteFile(HANDLE file, const void* buffer, uint32_t count, uint32_t& bytesWritten) override;
    uint32_t SetFilePointer(HANDLE file, int32_t distanceLow, int32_t* distanceHigh, uint32_t moveMethod) override;
    bool FlushFileBuffers(HANDLE file) override;
    // An injected failure still closes the handle, so tests do not leak descriptors.
    bool CloseHandle(HANDLE handle) override;
    bool DeleteFile(const std::string& fileName) override;
    HANDLE FindFirstFile(const std::string& pattern, FindData& data) override;
    bool FindNextFile(HANDLE find, FindData& data) override;
    bool FindClose(HANDLE find) override;

    bool GetDiskFreeSpace(const std::string& root, uint32_t& sectorsPerCluster, uint32_t& bytesPerSector,
                          uint32_t& numberOfFreeClusters, uint32_t& totalNumberOfClusters) override;
    bool GetDiskFreeSpaceEx(const std::string& root, uint64_t& freeBytesAvailableToCaller,
                            uint64_t& totalNumberOfBytes, uint64_t& totalNumberOfFreeBytes) override;
    // An injected failure gives DRIVE_UNKNOWN.
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
    struct Capacity {
        std::string Folder;  // native, canonical
        uint64_t Bytes = 0;
        uint64_t Used = 0;
    };
    struct FailureRule {
        Call Op;
        int First;
        int Last;
        uint32_t Error;
    };
    struct PartialRule {
        int Nth;
        uint32_t Bytes;
        uint32_t Error;
    };
    struct OpenHandle {
        std::string Name;    // as the caller gave it
        std::string Native;  // canonical native path
    };

    int Count(Call op);
    [[nodiscard]] std::optional<uint32_t> InjectedError(Call op, int n) const;
    bool Inject(const char* operation, const std::string& path, uint32_t error, int64_t offset = -1, int64_t length = -1);
    bool Forwarded(bool ok);
    [[nodiscard]] std::string Resolve(const std::string& path);
    [[nodiscard]] Capacity* LimitOf(const std::string& native);
    [[nodiscard]] int64_t PositionOf(HANDLE file);
    [[nodiscard]] std::string NameOf(HANDLE handle) const;
    bool WriteWithinCapacity(HANDLE file, const void* buffer, uint32_t count, uint32_t& bytesWritten);

    IPlatform& inner_;
    std::map<Call, int> counts_;
    std::vector<FailureRule> failures_;
    std::vector<PartialRule> partials_;
    std::vector<Capacity> limits_;
    std::map<std::string, uint64_t> charged_;  // bytes each file under a limit grew it by, by native path
    std::map<HANDLE, OpenHandle> handles_;
    FailureContext own_;
    bool ownIsLatest_ = false;
};

}  // namespace platform
