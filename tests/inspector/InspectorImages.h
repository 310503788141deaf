#pragma once
// Disk images the inspector tests make for themselves under /tmp: sparse files with a crafted
// FAT boot sector or text at chosen bytes, and a drive table that holds only them.
#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "TempFolder.h"
#include "platform/Platform.h"

namespace inspectortest {

using testsupport::TempFolder;

// A sparse image file of size bytes (zeros).
inline bool MakeImage(const std::string& path, uint64_t size) {
    const int fd = ::open(path.c_str(), O_CREAT | O_TRUNC | O_WRONLY, 0644);
    if (fd < 0) return false;
    const bool ok = ::ftruncate(fd, static_cast<off_t>(size)) == 0;
    ::close(fd);
    return ok;
}

inline bool WriteAt(const std::string& path, uint64_t offset, const void* data, size_t size) {
    const int fd = ::open(path.c_str(), O_WRONLY);
    if (fd < 0) return false;
    const bool ok = ::pwrite(fd, data, size, static_cast<off_t>(offset)) == static_cast<ssize_t>(size);
    ::close(fd);
    return ok;
}

inline bool WriteAt(const std::string& path, uint64_t offset, const std::string& text) {
    return WriteAt(path, offset, text.data(), text.size());
}

// Sector 0 of a FAT volume with the parameter-block fields the inspector reads.
inline std::vector<uint8_t> BootSector(uint16_t bytesPerSector, uint8_t sectorsPerCluster, uint16_t count16,
                                       uint32_t count32) {
    std::vector<uint8_t> s(512, 0);
    s[0] = 0xEB;
    s[1] = 0x3C;
    s[2] = 0x90;
    std::memcpy(&s[3], "MSDOS5.0", 8);
    s[11] = static_cast<uint8_t>(bytesPerSector);
    s[12] = static_cast<uint8_t>(bytesPerSector >> 8);
    s[13] = sectorsPerCluster;
    s[14] = 1;  // reserved sectors
    s[16] = 2;  // FATs
    s[19] = static_cast<uint8_t>(count16);
    s[20] = static_cast<uint8_t>(count16 >> 8);
    s[21] = 0xF8;
    for (int i = 0; i < 4; ++i) s[32 + i] = static_cast<uint8_t>(count32 >> (8 * i));
    s[510] = 0x55;
    s[511] = 0xAA;
    return s;
}

// An image of size bytes whose sector 0 is the given boot sector.
inline bool MakeFatImage(const std::string& path, uint64_t size, const std::vector<uint8_t>& bootSector) {
    return MakeImage(path, size) && WriteAt(path, 0, bootSector.data(), bootSector.size());
}

inline platform::DriveEntry Drive(char letter, const std::string& mountPoint, const std::string& device,
                                  uint32_t type = platform::DRIVE_FIXED, const std::string& fileSystem = "vfat") {
    platform::DriveEntry d;
    d.Letter = letter;
    d.MountPoint = mountPoint;
    d.Device = device;
    d.FileSystem = fileSystem;
    d.DriveType = type;
    d.DisplayName = std::string(1, letter) + ": on " + mountPoint;
    d.TypeName = type == platform::DRIVE_REMOVABLE ? "Removable Disk" : "Local Disk";
    return d;
}

}  // namespace inspectortest
