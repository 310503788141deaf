#pragma once
// The drive letters of a Linux system: every mounted volume gets one, the way Windows-on-Linux
// compatibility layers hand them out, so that the rest of the system can keep thinking in
// "E:\". The table is built from /proc/self/mountinfo text; what the text does not say (labels,
// removable media, UUIDs) comes from DeviceFacts, so tests can feed fixed answers.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/Platform.h"

namespace platform::posix {

// One line of /proc/self/mountinfo, escapes decoded.
struct MountInfoEntry {
    uint32_t Major = 0;
    uint32_t Minor = 0;
    std::string Root;        // the part of the source file system that is mounted ("/" for all of it)
    std::string MountPoint;
    std::string FileSystem;  // "ext4", "nfs4", "fuse.sshfs", ...
    std::string Source;      // "/dev/sdb1", "server:/export", ...
};

// What the mount table does not say about a volume. An unset member means "no" or "unknown",
// so a default DeviceFacts makes BuildDriveTable a pure function of its text.
struct DeviceFacts {
    std::function<bool(const MountInfoEntry&)> IsRemovable;      // /sys/block/<disk>/removable
    std::function<std::string(const MountInfoEntry&)> Label;     // empty when there is none
    std::function<std::string(const MountInfoEntry&)> Uuid;      // the file system's UUID text
    std::function<bool(const std::string& mountPoint)> IsFolder; // file bind mounts are no drives
};

// Turns "\040" style escapes (space, tab, newline, backslash) back into their characters.
[[nodiscard]] std::string DecodeMountEscapes(const std::string& text);

// Every well-formed line of the text, in order; malformed lines are left out.
[[nodiscard]] std::vector<MountInfoEntry> ParseMountInfo(const std::string& text);

// The drives of a mount table, in letter order (see the rules in DriveTable.cpp).
[[nodiscard]] std::vector<DriveEntry> BuildDriveTable(const std::string& mountInfoText,
                                                      const DeviceFacts& facts = {});

// Answers from the running system: sysfs, /dev/disk/by-label, /dev/disk/by-uuid and, for
// ext2/3/4, the superblock when the device can be read.
[[nodiscard]] DeviceFacts SystemDeviceFacts();

// The drive table of the running system (/proc/self/mountinfo with SystemDeviceFacts).
[[nodiscard]] std::vector<DriveEntry> SystemDriveTable();

// The volume serial number for a UUID text: the number itself for a FAT-style "ABCD-1234",
// a stable 32-bit hash of the text otherwise.
[[nodiscard]] uint32_t SerialFromUuid(const std::string& uuid);

// The label stored in an ext2/3/4 superblock of a device or image; empty when it has none,
// cannot be read or is no ext file system.
[[nodiscard]] std::string ReadExtLabel(const std::string& device);

// The logical sector size of a block device by its numbers: its queue's logical_block_size,
// for a partition that of its disk; 512 when unknown.
[[nodiscard]] uint32_t LogicalSectorSize(uint32_t major, uint32_t minor);

// The file system type of the mount that holds a path ("ext4", "tmpfs"); empty when unknown.
[[nodiscard]] std::string FileSystemOfPath(const std::string& path);

}  // namespace platform::posix
