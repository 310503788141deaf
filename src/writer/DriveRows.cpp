#include "writer/DriveRows.h"

#include <cmath>
#include <map>

#include <QLocale>

#include "platform/Platform.h"

namespace writer {

namespace {

// Keeps the system from asking the user to insert a medium while drives are queried.
class FailCriticalErrors {
public:
    FailCriticalErrors() : previous_(platform::Platform().SetErrorMode(platform::SEM_FAILCRITICALERRORS)) {}
    ~FailCriticalErrors() { platform::Platform().SetErrorMode(previous_); }
    FailCriticalErrors(const FailCriticalErrors&) = delete;
    FailCriticalErrors& operator=(const FailCriticalErrors&) = delete;

private:
    uint32_t previous_;
};

std::string Trimmed(const std::string& text) {
    const std::string cut = text.substr(0, text.find('\0'));
    size_t begin = 0;
    size_t end = cut.size();
    while (begin < end && static_cast<unsigned char>(cut[begin]) <= 32) ++begin;
    while (end > begin && static_cast<unsigned char>(cut[end - 1]) <= 32) --end;
    return cut.substr(begin, end - begin);
}

std::string UpperAsciiLetters(std::string text) {
    for (char& c : text) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return text;
}

std::string Formatted(double value) {
    return QLocale().toString(value, 'f', 2).toStdString();
}

}  // namespace

bool ReadVolumeInformation(char Drive, TVolumeInformation& Info) {
    FailCriticalErrors guard;
    Info = TVolumeInformation{};
    platform::VolumeInformation answer;
    const bool ok = platform::Platform().GetVolumeInformation(RootPathOfLetter(Drive), answer);
    if (!ok) return false;
    Info.VolumeName = Trimmed(answer.VolumeName);
    Info.SerialNumber = answer.SerialNumber;
    Info.MaxComponentLength = answer.MaxComponentLength;
    Info.FileSystemFlags = answer.FileSystemFlags;
    Info.FileSystemName = Trimmed(answer.FileSystemName);
    return true;
}

std::string FormatDiskSize(double Size) {
    std::string result;
    const double whole = std::trunc(Size);
    if (whole == -1) return result;
    double v = Size;
    if (std::fabs(whole) > 1024) {
        v = v / 1024;
        result = Formatted(v) + " KB";
        if (std::fabs(std::trunc(v)) > 1024) {
            v = v / 1024;
            result = Formatted(v) + " MB";
            if (std::fabs(std::trunc(v)) > 1024) {
                v = v / 1024;
                result = Formatted(v) + " GB";
            }
        }
    }
    return result;
}

std::string RootPathOfLetter(char Letter) {
    if (Letter == 0) return {};
    char upper = Letter;
    if (upper >= 'a' && upper <= 'z') upper = static_cast<char>(upper - 'a' + 'A');
    return std::string(1, upper) + ":\\";
}

std::vector<TDriveRow> ReadDriveRows() {
    platform::IPlatform& os = platform::Platform();
    FailCriticalErrors guard;
    std::map<char, platform::DriveEntry> table;
    for (const platform::DriveEntry& entry : os.GetDriveTable()) table[entry.Letter] = entry;

    std::vector<TDriveRow> rows;
    const uint32_t drives = os.GetLogicalDrives();
    for (int i = 0; i < 26; ++i) {
        if ((drives & (1u << i)) == 0) continue;
        TDriveRow row;
        row.Letter = static_cast<char>('a' + i);
        row.RootPath = RootPathOfLetter(row.Letter);
        row.DriveType = os.GetDriveType(row.RootPath);
        if (row.DriveType == platform::DRIVE_FIXED) {
            TVolumeInformation info;
            if (ReadVolumeInformation(row.Letter, info)) row.FileSystem = UpperAsciiLetters(info.FileSystemName);
        }
        // What the shell would tell of the root; a drive it knows nothing of still gets a row.
        if (const auto found = table.find(static_cast<char>('A' + i)); found != table.end()) {
            row.Name = found->second.DisplayName;
            row.TypeName = found->second.TypeName;
            row.MountPoint = found->second.MountPoint;
        }
        uint64_t available = 0;
        uint64_t total = 0;
        uint64_t totalFree = 0;
        if (os.GetDiskFreeSpaceEx(row.RootPath, available, total, totalFree)) {
            row.FreeBytes = static_cast<int64_t>(available);
            row.TotalBytes = static_cast<int64_t>(total);
        }
        row.TotalSize = FormatDiskSize(static_cast<double>(row.TotalBytes));
        row.FreeSpace = FormatDiskSize(static_cast<double>(row.FreeBytes));
        rows.push_back(std::move(row));
    }
    return rows;
}

}  // namespace writer
