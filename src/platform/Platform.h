#pragma once
// The operating-system services the system calls, Win32-shaped, so that the engine and the
// programs are written once and a backend per system fills them in (posix/ now, win32/ later).
//
// Paths: "E:\name" is a path on drive E: (the backend maps the letter to its volume); any
// other path is a native path and is used as it stands.
//
// Failures: every call that fails sets the calling thread's last error to a Win32 error
// number (Win32Errors.h) and records its context (operation, path, offset, length), which
// messages and the command-line program use to tell the user what went wrong.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/Win32Errors.h"

namespace platform {

using HANDLE = std::intptr_t;
inline constexpr HANDLE INVALID_HANDLE_VALUE = -1;

// CreateFile access, share mode, disposition and flags.
inline constexpr uint32_t GENERIC_READ = 0x80000000u;
inline constexpr uint32_t GENERIC_WRITE = 0x40000000u;
inline constexpr uint32_t FILE_SHARE_READ = 0x1;
inline constexpr uint32_t FILE_SHARE_WRITE = 0x2;
inline constexpr uint32_t FILE_SHARE_DELETE = 0x4;
inline constexpr uint32_t CREATE_NEW = 1;
inline constexpr uint32_t CREATE_ALWAYS = 2;
inline constexpr uint32_t OPEN_EXISTING = 3;
inline constexpr uint32_t OPEN_ALWAYS = 4;
inline constexpr uint32_t TRUNCATE_EXISTING = 5;
inline constexpr uint32_t FILE_ATTRIBUTE_READONLY = 0x1;
inline constexpr uint32_t FILE_ATTRIBUTE_HIDDEN = 0x2;
inline constexpr uint32_t FILE_ATTRIBUTE_SYSTEM = 0x4;
inline constexpr uint32_t FILE_ATTRIBUTE_DIRECTORY = 0x10;
inline constexpr uint32_t FILE_ATTRIBUTE_ARCHIVE = 0x20;
inline constexpr uint32_t FILE_ATTRIBUTE_NORMAL = 0x80;
inline constexpr uint32_t FILE_FLAG_WRITE_THROUGH = 0x80000000u;
inline constexpr uint32_t FILE_FLAG_NO_BUFFERING = 0x20000000u;
inline constexpr uint32_t FILE_FLAG_SEQUENTIAL_SCAN = 0x08000000u;

// SetFilePointer.
inline constexpr uint32_t FILE_BEGIN = 0;
inline constexpr uint32_t FILE_CURRENT = 1;
inline constexpr uint32_t FILE_END = 2;
inline constexpr uint32_t INVALID_SET_FILE_POINTER = 0xFFFFFFFFu;

// GetDriveType.
inline constexpr uint32_t DRIVE_UNKNOWN = 0;
inline constexpr uint32_t DRIVE_NO_ROOT_DIR = 1;
inline constexpr uint32_t DRIVE_REMOVABLE = 2;
inline constexpr uint32_t DRIVE_FIXED = 3;
inline constexpr uint32_t DRIVE_REMOTE = 4;
inline constexpr uint32_t DRIVE_CDROM = 5;
inline constexpr uint32_t DRIVE_RAMDISK = 6;

// SetErrorMode.
inline constexpr uint32_t SEM_FAILCRITICALERRORS = 0x0001;
inline constexpr uint32_t SEM_NOALIGNMENTFAULTEXCEPT = 0x0004;

// Registry value types.
inline constexpr uint32_t REG_NONE = 0;
inline constexpr uint32_t REG_SZ = 1;
inline constexpr uint32_t REG_EXPAND_SZ = 2;
inline constexpr uint32_t REG_BINARY = 3;
inline constexpr uint32_t REG_DWORD = 4;

enum class RegRoot { LocalMachine, CurrentUser };

struct RegValue {
    uint32_t Type = REG_NONE;
    std::vector<uint8_t> Data;
};

// One entry found by FindFirstFile / FindNextFile.
struct FindData {
    uint32_t FileAttributes = 0;
    uint64_t FileSize = 0;
    std::string FileName;  // the entry's name alone, without its folder
};

struct VolumeInformation {
    std::string VolumeName;
    uint32_t SerialNumber = 0;
    uint32_t MaxComponentLength = 0;
    uint32_t FileSystemFlags = 0;
    std::string FileSystemName;
};

// What one drive letter stands for on this system.
struct DriveEntry {
    char Letter = 0;              // 'A'..'Z'
    std::string MountPoint;       // where the drive's files are: "/mnt/data"
    std::string Device;           // the volume device (Win32 "\\.\E:"): "/dev/sdb1"
    std::string FileSystem;       // "ext4", "vfat", ...
    std::string Label;            // volume label, empty when there is none
    uint32_t DriveType = DRIVE_FIXED;
    std::string DisplayName;      // "DATA (E:) on /mnt/data"
    std::string TypeName;         // "Local Disk", "Removable Disk", ...
    uint32_t SerialNumber = 0;
};

// Context of the last failed call on the calling thread.
struct FailureContext {
    std::string Operation;        // "CreateFile", "WriteFile", ...
    std::string Path;             // the file or device the call was about, when known
    int64_t Offset = -1;          // byte position of a failed read or write, -1 when none
    int64_t Length = -1;          // byte count of a failed read or write, -1 when none
    uint32_t Error = ERROR_SUCCESS;

    // "WriteFile E:\1A2B3C4D.FVNTMP at 1048576 (65536 bytes): There is not enough space on the disk."
    [[nodiscard]] std::string Text() const;
};

class IPlatform {
public:
    virtual ~IPlatform() = default;

    // ---- Files ---------------------------------------------------------------------------
    // FILE_FLAG_NO_BUFFERING asks for unbuffered I/O (buffers, counts and positions aligned to
    // the sector size); a file system that cannot do it gets buffered I/O instead.
    virtual HANDLE CreateFile(const std::string& fileName, uint32_t desiredAccess, uint32_t shareMode,
                              uint32_t creationDisposition, uint32_t flagsAndAttributes) = 0;
    // False on failure; bytesRead is what was transferred (0 at the end of the file, which is success).
    virtual bool ReadFile(HANDLE file, void* buffer, uint32_t count, uint32_t& bytesRead) = 0;
    // Writes all of count unless an error stops it: then False, with bytesWritten what did reach the
    // file and the last error saying why (ERROR_DISK_FULL for a full disk or quota).
    virtual bool WriteFile(HANDLE file, const void* buffer, uint32_t count, uint32_t& bytesWritten) = 0;
    // Win32 SetFilePointer: distanceHigh null is the 32-bit form. Returns the new position's low
    // 32 bits and writes its high half back into *distanceHigh; INVALID_SET_FILE_POINTER with a
    // last error on failure. On success the last error is set to ERROR_SUCCESS, so a position
    // whose low half is all ones can be told from a failure.
    virtual uint32_t SetFilePointer(HANDLE file, int32_t distanceLow, int32_t* distanceHigh, uint32_t moveMethod) = 0;
    // Data and metadata on the device before it returns.
    virtual bool FlushFileBuffers(HANDLE file) = 0;
    // Closes files, find handles' siblings excepted (FindClose), and raw volumes.
    virtual bool CloseHandle(HANDLE handle) = 0;
    virtual bool DeleteFile(const std::string& fileName) = 0;
    // pattern: a folder joined with a mask ("E:\*.FVNTMP"); '*' and '?' wildcards, names compared
    // without regard to letter case. "." and ".." are not reported.
    virtual HANDLE FindFirstFile(const std::string& pattern, FindData& data) = 0;
    virtual bool FindNextFile(HANDLE find, FindData& data) = 0;
    virtual bool FindClose(HANDLE find) = 0;

    // ---- Volumes and drives -----------------------------------------------------------------
    virtual bool GetDiskFreeSpace(const std::string& root, uint32_t& sectorsPerCluster, uint32_t& bytesPerSector,
                                  uint32_t& numberOfFreeClusters, uint32_t& totalNumberOfClusters) = 0;
    // freeBytesAvailableToCaller honours quotas and reserved blocks the caller may not use.
    virtual bool GetDiskFreeSpaceEx(const std::string& root, uint64_t& freeBytesAvailableToCaller,
                                    uint64_t& totalNumberOfBytes, uint64_t& totalNumberOfFreeBytes) = 0;
    virtual uint32_t GetDriveType(const std::string& root) = 0;
    virtual bool GetVolumeInformation(const std::string& root, VolumeInformation& info) = 0;
    // Bit 0 is A:, bit 25 is Z:.
    virtual uint32_t GetLogicalDrives() = 0;
    // The drives behind GetLogicalDrives, in letter order.
    virtual std::vector<DriveEntry> GetDriveTable() = 0;
    // The drive that holds a native path or a drive path ("/mnt/data/x" gives 'E'); 0 when none.
    virtual char DriveOfPath(const std::string& path) = 0;
    virtual std::string GetCurrentDirectory() = 0;
    virtual bool SetCurrentDirectory(const std::string& path) = 0;
    // Returns the previous mode.
    virtual uint32_t SetErrorMode(uint32_t mode) = 0;

    // ---- Last error (per thread) --------------------------------------------------------------
    virtual uint32_t GetLastError() = 0;
    virtual void SetLastError(uint32_t code) = 0;
    virtual FailureContext LastFailure() = 0;

    // ---- Registry ---------------------------------------------------------------------------
    virtual bool RegCreateKey(RegRoot root, const std::string& key) = 0;
    // Nothing when the key or the value does not exist.
    virtual std::optional<RegValue> RegQueryValue(RegRoot root, const std::string& key, const std::string& name) = 0;
    virtual bool RegSetValue(RegRoot root, const std::string& key, const std::string& name, const RegValue& value) = 0;
    virtual bool RegDeleteValue(RegRoot root, const std::string& key, const std::string& name) = 0;

    // ---- Shell -----------------------------------------------------------------------------
    // Opens a document, program or address in its own process; does not wait.
    virtual bool ShellOpen(const std::string& target) = 0;

    // ---- Raw volumes (read only) ----------------------------------------------------------------
    // device: "\\.\E:" for drive E:'s volume, or a block device or image file path.
    // Closed with CloseHandle.
    virtual HANDLE OpenVolume(const std::string& device) = 0;
    virtual bool ReadVolume(HANDLE volume, uint64_t position, void* buffer, uint32_t count, uint32_t& bytesRead) = 0;
    virtual bool LockVolume(HANDLE volume) = 0;
    virtual bool UnlockVolume(HANDLE volume) = 0;
    // The device's logical sector size (512 for an image file).
    virtual bool GetVolumeSectorSize(HANDLE volume, uint32_t& bytes) = 0;
    virtual bool GetVolumeByteSize(HANDLE volume, uint64_t& bytes) = 0;
};

// The backend every caller uses: the system's own, unless a test has put another in its place.
[[nodiscard]] IPlatform& Platform();
// The system's own backend, whatever is in place.
[[nodiscard]] IPlatform& SystemPlatform();

// Puts another backend in place for the life of the object (tests).
class ScopedPlatform {
public:
    explicit ScopedPlatform(IPlatform& replacement);
    ~ScopedPlatform();
    ScopedPlatform(const ScopedPlatform&) = delete;
    ScopedPlatform& operator=(const ScopedPlatform&) = delete;

private:
    IPlatform* previous_;
};

}  // namespace platform
