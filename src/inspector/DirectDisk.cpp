#include "inspector/DirectDisk.h"

#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <limits>
#include <vector>

namespace inspector {

using namespace platform;

namespace {

uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t Le32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
           (static_cast<uint32_t>(p[3]) << 24);
}

bool IsPowerOfTwo(uint32_t v) { return v != 0 && (v & (v - 1)) == 0; }

// ext4, xfs, btrfs and exFAT put no FAT parameter block in sector 0 (exFAT zeroes those
// bytes), so its sector and cluster sizes are only taken when they can be real ones.
bool UsableParameterBlock(uint32_t bytesPerSector, uint32_t sectorsPerCluster) {
    return IsPowerOfTwo(bytesPerSector) && bytesPerSector >= 512 && bytesPerSector <= 4096 &&
           IsPowerOfTwo(sectorsPerCluster);
}

uint32_t Saturate32(uint64_t v) {
    return v > std::numeric_limits<uint32_t>::max() ? std::numeric_limits<uint32_t>::max() : static_cast<uint32_t>(v);
}

}  // namespace

TChsAddress FloppyChs(uint32_t logicalSector, const TFloppyFormat& format) {
    const uint32_t spt = static_cast<uint32_t>(format.SectorsPerTrack);
    const uint32_t heads = static_cast<uint32_t>(format.Heads);
    TChsAddress a;
    a.Sector = static_cast<uint8_t>(logicalSector % spt + 1);
    a.Head = static_cast<uint8_t>((logicalSector / spt) % heads);
    a.Cylinder = static_cast<uint8_t>((logicalSector / spt) / heads);
    return a;
}

TDirDisk::TDirDisk(IPlatform& platform) : platform_(platform) { SetDriveName('C'); }

TDirDisk::~TDirDisk() { CloseDevices(); }

void TDirDisk::SetDriveName(char value) {
    const bool letter = (value >= 'A' && value <= 'Z') || (value >= 'a' && value <= 'z');
    if (!letter) {
        driveValid_ = false;
        return;
    }
    const char upper = (value >= 'a') ? static_cast<char>(value - 'a' + 'A') : value;
    if (upper == driveName_) return;
    driveName_ = upper;
    devicePath_.clear();
    driveNumber_ = DriveIndex(upper);
    driveValid_ = true;
    ClearFailure();
    // A failed query shows as TotalSectors 0; the reason stays in LastFailure.
    (void)ReadGeometry(upper);
}

void TDirDisk::SetRetries(int value) { retries_ = static_cast<TRetries>(std::clamp<int>(value, RetriesMin, RetriesMax)); }

void TDirDisk::SetDevicePath(const std::string& path) {
    if (driveName_ == DevicePathDrive && path == devicePath_) return;
    driveName_ = DevicePathDrive;
    devicePath_ = path;
    driveValid_ = !path.empty();
    ClearFailure();
    if (path.empty()) {
        firstSector_ = 0;
        sectors_ = 1;
        totalSectors_ = totalClusters_ = capacitySectors_ = capacityClusters_ = 0;
        geometryFromDevice_ = false;
        return;
    }
    (void)ReadGeometry(DevicePathDrive);
}

std::string TDirDisk::VolumePath(char letter) const {
    if (letter == DevicePathDrive) return devicePath_;
    return std::string("\\\\.\\") + letter + ":";
}

std::string TDirDisk::RootOf(char letter) const { return std::string(1, letter) + ":\\"; }

bool TDirDisk::ReadGeometry(char letter) {
    firstSector_ = 0;
    sectors_ = 1;
    geometryFromDevice_ = false;

    // A size no sector 0 read can use would refuse every later query; start over from 512.
    if (bytesPerSector_ <= 0 || bytesPerSector_ > 4096) bytesPerSector_ = 512;
    std::vector<uint8_t> scratch(4096);
    if (!ReadSectors(scratch.data(), 4095)) {
        totalSectors_ = totalClusters_ = capacitySectors_ = capacityClusters_ = 0;
        return false;
    }

    // The size of the volume as its file system reports it; for a device or image selected by
    // path there is no file system to ask, and the device's own size stands in.
    int64_t size = -1;
    if (letter == DevicePathDrive) {
        uint64_t deviceBytes = 0;
        if (GeometryFromVolume(letter, deviceBytes)) size = static_cast<int64_t>(deviceBytes);
    } else {
        uint64_t avail = 0, total = 0, freeBytes = 0;
        if (platform_.GetDiskFreeSpaceEx(RootOf(letter), avail, total, freeBytes)) size = static_cast<int64_t>(total);
    }
    const bool sizeObtained = size > 0;

    const uint32_t bpbBytesPerSector = Le16(&scratch[11]);
    const uint32_t bpbSectorsPerCluster = scratch[13];
    bool result = true;
    uint64_t total = 0;

    if (UsableParameterBlock(bpbBytesPerSector, bpbSectorsPerCluster)) {
        bytesPerSector_ = static_cast<int32_t>(bpbBytesPerSector);
        sectorsPerCluster_ = static_cast<int32_t>(bpbSectorsPerCluster);
        const uint32_t count16 = Le16(&scratch[19]);
        const uint32_t count32 = Le32(&scratch[32]);
        if (count16 != 0) {
            total = count16;
        } else if (count32 != 0) {
            total = count32;
        } else if (sizeObtained) {
            total = static_cast<uint64_t>(size) / static_cast<uint64_t>(bytesPerSector_);
        } else {
            result = false;
            KeepFailure("ReadGeometry", ERROR_INVALID_PARAMETER);
        }
    } else {
        // No parameter block: sector size and count from the device itself.
        uint32_t sectorSize = 0;
        uint64_t bytes = 0;
        bool ok = OpenVolume(letter);
        if (ok) {
            ok = platform_.GetVolumeSectorSize(volumeHandle_, sectorSize);
            if (!ok) KeepPlatformFailure("GetVolumeSectorSize");
        }
        if (ok) {
            ok = platform_.GetVolumeByteSize(volumeHandle_, bytes);
            if (!ok) KeepPlatformFailure("GetVolumeByteSize");
        }
        CloseDevices();
        if (ok && (!IsPowerOfTwo(sectorSize) || sectorSize < 512 || sectorSize > 65536)) {
            ok = false;
            KeepFailure("GetVolumeSectorSize", ERROR_NOT_SUPPORTED);
        }
        if (ok) {
            bytesPerSector_ = static_cast<int32_t>(sectorSize);
            sectorsPerCluster_ = 8;
            uint32_t spc = 0, bps = 0, freeClusters = 0, totalClusters = 0;
            if (letter != DevicePathDrive &&
                platform_.GetDiskFreeSpace(RootOf(letter), spc, bps, freeClusters, totalClusters)) {
                const uint64_t clusterBytes = static_cast<uint64_t>(spc) * bps;
                if (clusterBytes >= sectorSize) sectorsPerCluster_ = static_cast<int32_t>(clusterBytes / sectorSize);
            }
            total = bytes / sectorSize;
            geometryFromDevice_ = true;
        } else {
            result = false;
        }
    }

    if (result && total > std::numeric_limits<uint32_t>::max()) {
        // Sector numbers are 32 bits wide; a volume of 2^32 sectors or more cannot be addressed.
        result = false;
        KeepFailure("ReadGeometry", ERROR_NOT_SUPPORTED);
    }
    if (result) {
        ClearFailure();
        totalSectors_ = static_cast<uint32_t>(total);
        totalClusters_ = totalSectors_ / static_cast<uint32_t>(sectorsPerCluster_);
    } else {
        totalSectors_ = totalClusters_ = 0;
    }
    if (sizeObtained) {
        capacitySectors_ = Saturate32(static_cast<uint64_t>(size) / static_cast<uint64_t>(bytesPerSector_));
        capacityClusters_ = capacitySectors_ / static_cast<uint32_t>(sectorsPerCluster_);
    } else {
        capacitySectors_ = capacityClusters_ = 0;
    }
    return result;
}

bool TDirDisk::GeometryFromVolume(char letter, uint64_t& byteSize) {
    bool ok = OpenVolume(letter);
    if (ok) {
        ok = platform_.GetVolumeByteSize(volumeHandle_, byteSize);
        if (!ok) KeepPlatformFailure("GetVolumeByteSize");
    }
    CloseDevices();
    return ok;
}

bool TDirDisk::ReadSectors(uint8_t* buffer, uint32_t high) {
    ClearFailure();
    const uint64_t size = static_cast<uint64_t>(sectors_) * static_cast<uint32_t>(bytesPerSector_);
    if (static_cast<uint64_t>(high) + 1 < size || size > std::numeric_limits<uint32_t>::max()) {
        KeepFailure("ReadSectors", ERROR_INVALID_PARAMETER, -1, static_cast<int64_t>(size));
        return false;
    }
    if (!driveValid_) {
        KeepFailure("ReadSectors", ERROR_INVALID_DRIVE);
        return false;
    }
    const uint64_t position = static_cast<uint64_t>(firstSector_) * static_cast<uint32_t>(bytesPerSector_);
    for (int attempt = 0; attempt < retries_; ++attempt) {
        if (ReadVolumeNT(driveName_, static_cast<uint32_t>(size), buffer, position)) {
            ClearFailure();
            return true;
        }
    }
    return false;
}

bool TDirDisk::ReadVolumeNT(char letter, uint32_t size, uint8_t* destination, uint64_t position) {
    bool result = true;
    if (volumeHandle_ == INVALID_HANDLE_VALUE) openedHere_ = OpenVolume(letter);
    if (volumeHandle_ == INVALID_HANDLE_VALUE) {
        result = false;
    } else {
        if (needDiskLock_) {
            result = platform_.LockVolume(volumeHandle_);
            if (!result) KeepPlatformFailure("LockVolume");
        }
        if (result) {
            std::vector<uint8_t> scratch(size);
            for (int attempt = 0; attempt < retries_; ++attempt) {
                uint32_t got = 0;
                result = platform_.ReadVolume(volumeHandle_, position, scratch.data(), size, got);
                if (!result) {
                    KeepPlatformFailure("ReadVolume");
                } else if (got < size) {
                    // A short read is only whole when it stopped at the device's end (an image
                    // whose size is not a multiple of the sector size); the rest reads as zeros.
                    uint64_t deviceBytes = 0;
                    const bool atEnd = got > 0 && platform_.GetVolumeByteSize(volumeHandle_, deviceBytes) &&
                                       position + got == deviceBytes;
                    if (atEnd) {
                        std::fill(scratch.begin() + got, scratch.end(), uint8_t{0});
                    } else {
                        result = false;
                        KeepFailure("ReadVolume", got == 0 ? ERROR_HANDLE_EOF : ERROR_READ_FAULT,
                                    static_cast<int64_t>(position), size);
                    }
                }
                std::memcpy(destination, scratch.data(), size);
                if (result) break;
            }
            if (needDiskLock_ && result) {
                result = platform_.UnlockVolume(volumeHandle_);
                if (!result) KeepPlatformFailure("UnlockVolume");
            }
        }
    }
    if (openedHere_) CloseDevices();
    return result;
}

bool TDirDisk::ReadFloppySectors(char letter, uint8_t* buffer, uint8_t floppyFormat) {
    try {
        ClearFailure();
        if (letter >= 'a' && letter <= 'z') letter = static_cast<char>(letter - 'a' + 'A');
        if (platform_.GetDriveType(RootOf(letter)) != DRIVE_REMOVABLE) {
            driveValid_ = false;
            KeepFailure("ReadFloppySectors", ERROR_INVALID_DRIVE);
            return false;
        }
        if (floppyFormat >= FloppyFormats.size()) {
            KeepFailure("ReadFloppySectors", ERROR_INVALID_PARAMETER);
            return false;
        }
        const TFloppyFormat& format = FloppyFormats[floppyFormat];
        const uint64_t size = static_cast<uint64_t>(sectors_) * static_cast<uint32_t>(format.BytesPerSector);
        if (size > std::numeric_limits<uint32_t>::max()) {
            KeepFailure("ReadFloppySectors", ERROR_INVALID_PARAMETER);
            return false;
        }
        CloseDevices();
        bool result = false;
        if (OpenVolume(letter)) {
            result = ReadVolumeNT(letter, static_cast<uint32_t>(size), buffer,
                                  static_cast<uint64_t>(firstSector_) * static_cast<uint32_t>(format.BytesPerSector));
        }
        CloseDevices();
        return result;
    } catch (...) {
        CloseDevices();
        return false;
    }
}

bool TDirDisk::OpenVolume(char letter) {
    if (volumeHandle_ == INVALID_HANDLE_VALUE) {
        platform_.SetErrorMode(SEM_FAILCRITICALERRORS);
        volumeHandle_ = platform_.OpenVolume(VolumePath(letter));
        if (volumeHandle_ == INVALID_HANDLE_VALUE) KeepPlatformFailure("OpenVolume");
        platform_.SetErrorMode(SEM_NOALIGNMENTFAULTEXCEPT);
    }
    return volumeHandle_ != INVALID_HANDLE_VALUE;
}

void TDirDisk::CloseDevices() {
    if (volumeHandle_ != INVALID_HANDLE_VALUE) platform_.CloseHandle(volumeHandle_);
    volumeHandle_ = INVALID_HANDLE_VALUE;
    openedHere_ = false;
}

void TDirDisk::ClearFailure() { lastFailure_ = FailureContext{}; }

void TDirDisk::KeepPlatformFailure(const char* operation) {
    FailureContext f = platform_.LastFailure();
    if (f.Error == ERROR_SUCCESS) f.Error = platform_.GetLastError();
    if (f.Error == ERROR_SUCCESS) f.Error = ERROR_GEN_FAILURE;
    if (f.Operation.empty()) f.Operation = operation;
    lastFailure_ = f;
}

void TDirDisk::KeepFailure(const char* operation, uint32_t error, int64_t offset, int64_t length) {
    lastFailure_ = FailureContext{};
    lastFailure_.Operation = operation;
    lastFailure_.Path = driveName_ == DevicePathDrive ? devicePath_ : VolumePath(driveName_);
    lastFailure_.Offset = offset;
    lastFailure_.Length = length;
    lastFailure_.Error = error;
}

std::string TDirDisk::FailureReason() const {
    if (lastFailure_.Error == ERROR_SUCCESS) return {};
    if (lastFailure_.Error == ERROR_ACCESS_DENIED) {
        // Without root the cure is plain; as root a refusal comes from the system itself
        // (a sandbox, a security module), and asking for root would mislead.
        if (::geteuid() != 0) return "Reading raw sectors needs root (" + ErrorText(ERROR_ACCESS_DENIED) + ")";
        return "The system refuses to open " + (lastFailure_.Path.empty() ? std::string("the device") : lastFailure_.Path) +
               " for reading (" + ErrorText(ERROR_ACCESS_DENIED) + ")";
    }
    return lastFailure_.Text();
}

}  // namespace inspector
