#include "platform/posix/DriveTable.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

namespace platform::posix {

namespace fs = std::filesystem;

namespace {

const std::set<std::string> kDiskFileSystems = {
    "ext2", "ext3", "ext4", "xfs", "btrfs", "vfat", "msdos", "exfat", "ntfs", "ntfs3", "fuseblk",
    "f2fs", "iso9660", "udf", "hfs", "hfsplus", "jfs", "reiserfs", "nilfs2", "bcachefs",
};
const std::set<std::string> kNetworkFileSystems = {"nfs", "nfs4", "cifs", "smb3", "smbfs", "fuse.sshfs"};

bool StartsWith(const std::string& text, const std::string& prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

bool IsNetwork(const MountInfoEntry& e) { return kNetworkFileSystems.count(e.FileSystem) != 0; }

bool IsVolume(const MountInfoEntry& e) {
    if (IsNetwork(e)) return true;
    return StartsWith(e.Source, "/dev/") && kDiskFileSystems.count(e.FileSystem) != 0;
}

uint32_t Fnv1a(const std::string& text) {
    uint32_t hash = 2166136261u;
    for (unsigned char c : text) {
        hash ^= c;
        hash *= 16777619u;
    }
    return hash;
}

std::string ReadSmallFile(const std::string& path) {
    std::ifstream in(path);
    std::string text;
    std::getline(in, text);
    return text;
}

std::string ReadWholeFile(const std::string& path) {
    std::ifstream in(path);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// The sysfs folder of a block device; for a partition, that of the disk holding it.
fs::path SysfsDiskFolder(uint32_t major, uint32_t minor) {
    std::error_code ec;
    fs::path dev = fs::canonical("/sys/dev/block/" + std::to_string(major) + ":" + std::to_string(minor), ec);
    if (ec) return {};
    if (fs::exists(dev / "partition", ec)) return dev.parent_path();
    return dev;
}

// udev writes unsafe characters of label link names as "\xHH".
std::string DecodeUdevName(const std::string& name) {
    std::string out;
    for (size_t i = 0; i < name.size(); ++i) {
        if (name[i] == '\\' && i + 3 < name.size() && name[i + 1] == 'x' && std::isxdigit(static_cast<unsigned char>(name[i + 2])) &&
            std::isxdigit(static_cast<unsigned char>(name[i + 3]))) {
            out += static_cast<char>(std::stoi(name.substr(i + 2, 2), nullptr, 16));
            i += 3;
        } else {
            out += name[i];
        }
    }
    return out;
}

// The name of the link in a /dev/disk/by-* folder that leads to the device.
std::string LinkNameFor(const std::string& folder, const std::string& device) {
    std::error_code ec;
    fs::path target = fs::canonical(device, ec);
    if (ec) return {};
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code linkEc;
        if (fs::canonical(it->path(), linkEc) == target && !linkEc) return DecodeUdevName(it->path().filename().string());
    }
    return {};
}

bool ReadExtSuperblock(const std::string& device, std::array<unsigned char, 1024>& block) {
    int fd = ::open(device.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return false;
    ssize_t got = ::pread(fd, block.data(), block.size(), 1024);
    ::close(fd);
    // s_magic at 0x38
    return got == static_cast<ssize_t>(block.size()) && block[0x38] == 0x53 && block[0x39] == 0xEF;
}

std::string ReadExtUuid(const std::string& device) {
    std::array<unsigned char, 1024> block{};
    if (!ReadExtSuperblock(device, block)) return {};
    std::string text;
    char hex[3];
    for (int i = 0; i < 16; ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10) text += '-';
        std::snprintf(hex, sizeof hex, "%02x", block[0x68 + i]);
        text += hex;
    }
    return text;
}

bool IsExt(const std::string& fileSystem) { return fileSystem == "ext2" || fileSystem == "ext3" || fileSystem == "ext4"; }

std::string LastComponent(const std::string& path) {
    size_t end = path.find_last_not_of('/');
    if (end == std::string::npos) return path;
    size_t start = path.find_last_of('/', end);
    return path.substr(start == std::string::npos ? 0 : start + 1, end - (start == std::string::npos ? 0 : start + 1) + 1);
}

uint32_t DriveTypeOf(const MountInfoEntry& e, const DeviceFacts& facts) {
    if (IsNetwork(e)) return DRIVE_REMOTE;
    if (StartsWith(e.Source, "/dev/sr") || e.FileSystem == "iso9660" || e.FileSystem == "udf") return DRIVE_CDROM;
    if (StartsWith(e.Source, "/dev/zram") || StartsWith(e.Source, "/dev/ram")) return DRIVE_RAMDISK;
    if (StartsWith(e.Source, "/dev/fd")) return DRIVE_REMOVABLE;
    if (facts.IsRemovable && facts.IsRemovable(e)) return DRIVE_REMOVABLE;
    return DRIVE_FIXED;
}

const char* TypeNameOf(uint32_t driveType) {
    switch (driveType) {
    case DRIVE_REMOVABLE: return "Removable Disk";
    case DRIVE_CDROM: return "CD Drive";
    case DRIVE_REMOTE: return "Network Drive";
    case DRIVE_RAMDISK: return "RAM Disk";
    default: return "Local Disk";
    }
}

// true when `path` is `prefix` or lies inside it.
bool PathWithin(const std::string& path, const std::string& prefix) {
    if (prefix == "/") return StartsWith(path, "/");
    return StartsWith(path, prefix) && (path.size() == prefix.size() || path[prefix.size()] == '/');
}

}  // namespace

std::string DecodeMountEscapes(const std::string& text) {
    auto octal = [](char c) { return c >= '0' && c <= '7'; };
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 3 < text.size() && octal(text[i + 1]) && octal(text[i + 2]) && octal(text[i + 3])) {
            out += static_cast<char>((text[i + 1] - '0') * 64 + (text[i + 2] - '0') * 8 + (text[i + 3] - '0'));
            i += 3;
        } else {
            out += text[i];
        }
    }
    return out;
}

std::vector<MountInfoEntry> ParseMountInfo(const std::string& text) {
    std::vector<MountInfoEntry> entries;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream fields(line);
        std::vector<std::string> f;
        for (std::string field; fields >> field;) f.push_back(field);
        // id parent maj:min root mount-point options [optional...] - fstype source super-options
        size_t dash = 6;
        while (dash < f.size() && f[dash] != "-") ++dash;
        if (dash + 2 >= f.size()) continue;  // no "-", or no file system type and source after it
        MountInfoEntry e;
        unsigned major = 0, minor = 0;
        if (std::sscanf(f[2].c_str(), "%u:%u", &major, &minor) != 2) continue;
        e.Major = major;
        e.Minor = minor;
        e.Root = DecodeMountEscapes(f[3]);
        e.MountPoint = DecodeMountEscapes(f[4]);
        e.FileSystem = DecodeMountEscapes(f[dash + 1]);
        e.Source = DecodeMountEscapes(f[dash + 2]);
        entries.push_back(std::move(e));
    }
    return entries;
}

std::vector<DriveEntry> BuildDriveTable(const std::string& mountInfoText, const DeviceFacts& facts) {
    // One group per source, in the order of first appearance; bind mounts and repeated
    // mounts of a device join its group instead of getting a letter of their own.
    struct Group {
        std::string Source;
        std::vector<MountInfoEntry> Mounts;
    };
    std::vector<Group> groups;
    for (const MountInfoEntry& e : ParseMountInfo(mountInfoText)) {
        if (!IsVolume(e)) continue;
        if (facts.IsFolder && !facts.IsFolder(e.MountPoint)) continue;
        auto it = std::find_if(groups.begin(), groups.end(), [&](const Group& g) { return g.Source == e.Source; });
        if (it == groups.end()) groups.push_back({e.Source, {e}});
        else it->Mounts.push_back(e);
    }

    std::vector<DriveEntry> table;
    char next = 'D';
    for (const Group& g : groups) {
        // The system's own "/" wins; else the mount of the whole file system; else the first.
        const MountInfoEntry* chosen = nullptr;
        for (const auto& m : g.Mounts)
            if (m.MountPoint == "/") chosen = &m;
        for (const auto& m : g.Mounts)
            if (chosen == nullptr && m.Root == "/") chosen = &m;
        if (chosen == nullptr) chosen = &g.Mounts.front();

        char letter;
        if (chosen->MountPoint == "/") letter = 'C';
        else if (g.Source == "/dev/fd0") letter = 'A';
        else if (g.Source == "/dev/fd1") letter = 'B';
        else if (next <= 'Z') letter = next++;
        else continue;
        if (std::any_of(table.begin(), table.end(), [&](const DriveEntry& d) { return d.Letter == letter; })) continue;

        DriveEntry d;
        d.Letter = letter;
        d.MountPoint = chosen->MountPoint;
        d.Device = chosen->Source;
        d.FileSystem = chosen->FileSystem;
        d.Label = facts.Label ? facts.Label(*chosen) : std::string();
        d.DriveType = DriveTypeOf(*chosen, facts);
        d.TypeName = TypeNameOf(d.DriveType);
        std::string name = !d.Label.empty() ? d.Label : d.MountPoint == "/" ? "System" : LastComponent(d.MountPoint);
        d.DisplayName = name + " (" + letter + ":) on " + d.MountPoint;
        std::string uuid = facts.Uuid ? facts.Uuid(*chosen) : std::string();
        d.SerialNumber = SerialFromUuid(uuid.empty() ? d.Device : uuid);
        table.push_back(std::move(d));
    }
    std::sort(table.begin(), table.end(), [](const DriveEntry& a, const DriveEntry& b) { return a.Letter < b.Letter; });
    return table;
}

DeviceFacts SystemDeviceFacts() {
    DeviceFacts facts;
    facts.IsRemovable = [](const MountInfoEntry& e) {
        if (e.Major == 0) return false;
        fs::path disk = SysfsDiskFolder(e.Major, e.Minor);
        return !disk.empty() && ReadSmallFile((disk / "removable").string()) == "1";
    };
    facts.Label = [](const MountInfoEntry& e) {
        std::string label = LinkNameFor("/dev/disk/by-label", e.Source);
        if (label.empty() && IsExt(e.FileSystem)) label = ReadExtLabel(e.Source);
        return label;
    };
    facts.Uuid = [](const MountInfoEntry& e) {
        std::string uuid = LinkNameFor("/dev/disk/by-uuid", e.Source);
        if (uuid.empty() && IsExt(e.FileSystem)) uuid = ReadExtUuid(e.Source);
        return uuid;
    };
    facts.IsFolder = [](const std::string& mountPoint) {
        struct stat st {};
        return ::stat(mountPoint.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
    };
    return facts;
}

std::vector<DriveEntry> SystemDriveTable() {
    return BuildDriveTable(ReadWholeFile("/proc/self/mountinfo"), SystemDeviceFacts());
}

uint32_t SerialFromUuid(const std::string& uuid) {
    // FAT and exFAT volume ids are shown as "ABCD-1234": that is the serial Windows reports.
    if (uuid.size() == 9 && uuid[4] == '-') {
        std::string digits = uuid.substr(0, 4) + uuid.substr(5);
        if (digits.find_first_not_of("0123456789abcdefABCDEF") == std::string::npos)
            return static_cast<uint32_t>(std::stoul(digits, nullptr, 16));
    }
    return Fnv1a(uuid);
}

std::string ReadExtLabel(const std::string& device) {
    std::array<unsigned char, 1024> block{};
    if (!ReadExtSuperblock(device, block)) return {};
    // s_volume_name: 16 bytes at 0x78, zero-padded
    std::string label(reinterpret_cast<const char*>(block.data() + 0x78), 16);
    label.resize(label.find('\0') == std::string::npos ? 16 : label.find('\0'));
    return label;
}

uint32_t LogicalSectorSize(uint32_t major, uint32_t minor) {
    fs::path disk = SysfsDiskFolder(major, minor);
    if (disk.empty()) return 512;
    std::string text = ReadSmallFile((disk / "queue" / "logical_block_size").string());
    char* end = nullptr;
    unsigned long size = std::strtoul(text.c_str(), &end, 10);
    if (end == text.c_str() || size < 512 || size > 65536 || (size & (size - 1)) != 0) return 512;
    return static_cast<uint32_t>(size);
}

std::string FileSystemOfPath(const std::string& path) {
    std::error_code ec;
    std::string canonical = fs::weakly_canonical(fs::absolute(path, ec), ec).string();
    if (ec) return {};
    std::string best;
    size_t bestLength = 0;
    // Later mounts at the same point cover earlier ones, hence ">=".
    for (const MountInfoEntry& e : ParseMountInfo(ReadWholeFile("/proc/self/mountinfo"))) {
        if (PathWithin(canonical, e.MountPoint) && e.MountPoint.size() >= bestLength) {
            best = e.FileSystem;
            bestLength = e.MountPoint.size();
        }
    }
    return best;
}

}  // namespace platform::posix
