#pragma once
// A drive letter for a folder of the test's own, listed the way the drive table lists a volume.
#include <cstdint>
#include <string>

#include "platform/Platform.h"

namespace testsupport {

[[nodiscard]] inline platform::DriveEntry FolderDrive(char letter, const std::string& folder,
                                                      uint32_t driveType = platform::DRIVE_FIXED,
                                                      const std::string& fileSystem = "ext4") {
    platform::DriveEntry d;
    d.Letter = letter;
    d.MountPoint = folder;
    d.FileSystem = fileSystem;
    d.DriveType = driveType;
    d.TypeName = driveType == platform::DRIVE_REMOVABLE ? "Removable Disk"
                 : driveType == platform::DRIVE_CDROM   ? "CD Drive"
                 : driveType == platform::DRIVE_REMOTE  ? "Network Drive"
                 : driveType == platform::DRIVE_RAMDISK ? "RAM Disk"
                                                        : "Local Disk";
    d.DisplayName = "TEST (" + std::string(1, letter) + ":) on " + folder;
    return d;
}

}  // namespace testsupport
