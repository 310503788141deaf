#pragma once
// What the drive list shows, without widgets: one row per present drive letter with its name,
// type, sizes and (for fixed drives) file system. The wizard's list view shows these rows and
// `fvn drives` prints them, so both always agree.
#include <cstdint>
#include <string>
#include <vector>

namespace writer {

struct TVolumeInformation {
    std::string VolumeName;
    uint32_t SerialNumber = 0;
    uint32_t MaxComponentLength = 0;
    uint32_t FileSystemFlags = 0;
    std::string FileSystemName;
};

// Label, serial, limits and file system of a drive; both names trimmed of control characters
// and spaces, and empty when the query fails. Keeps the system from asking for a medium.
[[nodiscard]] bool ReadVolumeInformation(char Drive, TVolumeInformation& Info);

// The text of a size cell: "1.39 MB", "1,024.00 KB" (the user's locale separators); empty for
// -1 (unknown) and for 1024 bytes or less.
[[nodiscard]] std::string FormatDiskSize(double Size);

struct TDriveRow {
    char Letter = 0;          // lower case: the row's item data
    std::string RootPath;     // "C:\"
    std::string MountPoint;   // where the drive's files are, when the system has one
    uint32_t DriveType = 0;   // DRIVE_FIXED, DRIVE_REMOVABLE, ...
    std::string Name;         // "Name" column: the drive's display name
    std::string TypeName;     // "Type"
    int64_t TotalBytes = -1;  // -1 when the space query failed
    int64_t FreeBytes = -1;   // available to the caller
    std::string TotalSize;    // "Total Size": FormatDiskSize(TotalBytes)
    std::string FreeSpace;    // "Free Space": FormatDiskSize(FreeBytes)
    std::string FileSystem;   // "File System": upper case, fixed drives only
};

// One row for every bit of the present-drives mask, in letter order. A drive whose queries
// fail is still listed, with empty cells.
[[nodiscard]] std::vector<TDriveRow> ReadDriveRows();

// "C:\" for 'c'; empty for 0.
[[nodiscard]] std::string RootPathOfLetter(char Letter);

}  // namespace writer
