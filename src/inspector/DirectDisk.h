#pragma once
// TDirDisk: reads a drive's raw sectors by drive letter (or a block device or image file by
// path) and sector number, below the file system. It never writes.
//
// Only the NT way is provided: the volume device is opened read-only and read at a 64-bit byte
// position through the platform layer. Floppy disks are read the same way; their formats and
// the cylinder/head/sector arithmetic stay available for a BIOS-style backend.
#include <array>
#include <cstdint>
#include <string>

#include "platform/Platform.h"

namespace inspector {

// Attempts per read, 1..25.
using TRetries = uint8_t;
inline constexpr TRetries RetriesMin = 1;
inline constexpr TRetries RetriesMax = 25;

struct TFloppyFormat {
    int32_t BytesPerSector;
    int32_t SectorsPerTrack;
    int32_t Heads;
};

// Indexed by the window's FloppyFormat; row 0 is the fall-back geometry.
inline constexpr std::array<TFloppyFormat, 5> FloppyFormats = {{
    {512, 18, 2},  // 3.5-inch 1.44 MB (fall-back)
    {512, 9, 2},   // 5.25-inch 360 KB
    {512, 15, 2},  // 5.25-inch 1.2 MB
    {512, 9, 2},   // 3.5-inch 720 KB
    {512, 18, 2},  // 3.5-inch 1.44 MB
}};

struct TChsAddress {
    uint8_t Cylinder = 0;
    uint8_t Head = 0;
    uint8_t Sector = 0;  // counted from 1
};

// Where logical sector lies on a floppy of the given format (each part one byte wide, as the
// BIOS disk service takes them).
[[nodiscard]] TChsAddress FloppyChs(uint32_t logicalSector, const TFloppyFormat& format);

class TDirDisk {
public:
    // Stands for a device path in DriveName while one is selected (SetDevicePath).
    static constexpr char DevicePathDrive = '#';

    // Queries drive C: before returning, as the window expects a drive to be current.
    explicit TDirDisk(platform::IPlatform& platform = platform::Platform());
    ~TDirDisk();
    TDirDisk(const TDirDisk&) = delete;
    TDirDisk& operator=(const TDirDisk&) = delete;

    // ---- Published properties -------------------------------------------------------------------
    [[nodiscard]] char DriveName() const { return driveName_; }
    // A letter other than the current one selects that drive and queries its geometry; a
    // non-letter only marks the drive invalid; the current letter again changes nothing.
    void SetDriveName(char value);
    [[nodiscard]] uint32_t FirstSector() const { return firstSector_; }
    void SetFirstSector(uint32_t value) { firstSector_ = value; }
    [[nodiscard]] uint32_t Sectors() const { return sectors_; }
    void SetSectors(uint32_t value) { sectors_ = value; }
    [[nodiscard]] bool NeedDiskLock() const { return needDiskLock_; }
    void SetNeedDiskLock(bool value) { needDiskLock_ = value; }
    [[nodiscard]] TRetries Retries() const { return retries_; }
    // Clamped to 1..25.
    void SetRetries(int value);

    // Selects a block device or image file instead of a drive letter: DriveName then reads
    // DevicePathDrive and the geometry comes from that device. The same path again changes
    // nothing; an empty path selects no device at all (every read fails, counts are 0).
    void SetDevicePath(const std::string& path);
    [[nodiscard]] const std::string& DevicePath() const { return devicePath_; }

    // ---- Geometry (read only) ---------------------------------------------------------------------
    [[nodiscard]] int32_t BytesPerSector() const { return bytesPerSector_; }
    [[nodiscard]] int32_t SectorsPerCluster() const { return sectorsPerCluster_; }
    [[nodiscard]] uint32_t TotalSectors() const { return totalSectors_; }
    [[nodiscard]] uint32_t TotalClusters() const { return totalClusters_; }
    [[nodiscard]] uint32_t CapacitySectors() const { return capacitySectors_; }
    [[nodiscard]] uint32_t CapacityClusters() const { return capacityClusters_; }
    // True when sector 0 had no usable parameter block and the geometry came from the device.
    [[nodiscard]] bool GeometryFromDevice() const { return geometryFromDevice_; }
    [[nodiscard]] bool DriveValid() const { return driveValid_; }

    // ---- Reads ----------------------------------------------------------------------------------
    // Sectors sectors from FirstSector into buffer[0..high]. False, buffer untouched, when the
    // buffer is smaller than Sectors x BytesPerSector or the drive is not valid. After a failed
    // device read the buffer's contents are not defined.
    [[nodiscard]] bool ReadSectors(uint8_t* buffer, uint32_t high);
    // The same run read as a floppy of FloppyFormats[floppyFormat]; buffer must hold Sectors x
    // that format's sector size. False and DriveValid cleared when letter is not removable.
    [[nodiscard]] bool ReadFloppySectors(char letter, uint8_t* buffer, uint8_t floppyFormat);

    // ---- Why the last operation failed ----------------------------------------------------------------
    // Context of the last failure of the last public operation (geometry query or read); an
    // Error of ERROR_SUCCESS when it did not fail.
    [[nodiscard]] const platform::FailureContext& LastFailure() const { return lastFailure_; }
    // The failure in words for a person: "Reading raw sectors needs root (Access is denied.)",
    // or the failure context's text; empty when nothing failed.
    [[nodiscard]] std::string FailureReason() const;

    // Letter minus 'A' (the letter is upper case).
    [[nodiscard]] static int DriveIndex(char letter) { return letter - 'A'; }

private:
    bool ReadGeometry(char letter);
    bool ReadVolumeNT(char letter, uint32_t size, uint8_t* destination, uint64_t position);
    bool OpenVolume(char letter);
    void CloseDevices();
    // "\\.\E:" for a letter, the selected path for DevicePathDrive.
    [[nodiscard]] std::string VolumePath(char letter) const;
    [[nodiscard]] std::string RootOf(char letter) const;
    bool GeometryFromVolume(char letter, uint64_t& byteSize);
    void ClearFailure();
    void KeepPlatformFailure(const char* operation);
    void KeepFailure(const char* operation, uint32_t error, int64_t offset = -1, int64_t length = -1);

    platform::IPlatform& platform_;

    char driveName_ = 0;
    uint32_t firstSector_ = 0;
    uint32_t sectors_ = 1;
    bool needDiskLock_ = false;
    TRetries retries_ = 1;
    std::string devicePath_;

    int32_t bytesPerSector_ = 512;
    int32_t sectorsPerCluster_ = 8;
    uint32_t totalSectors_ = 0;
    uint32_t totalClusters_ = 0;
    uint32_t capacitySectors_ = 0;
    uint32_t capacityClusters_ = 0;
    bool geometryFromDevice_ = false;

    bool driveValid_ = false;
    int driveNumber_ = 0;

    // One handle at a time, closed again by the step that opened it.
    platform::HANDLE volumeHandle_ = platform::INVALID_HANDLE_VALUE;
    bool openedHere_ = false;

    platform::FailureContext lastFailure_;
};

}  // namespace inspector
