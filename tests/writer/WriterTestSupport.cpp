#include "WriterTestSupport.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace writertest {

namespace fs = std::filesystem;

TTempFolder::TTempFolder() {
    std::string pattern = (fs::temp_directory_path() / "fvnwriter-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

TTempFolder::~TTempFolder() {
    std::error_code ignored;
    // Read-only leftovers are removed too: give every entry its write bit back first.
    for (auto it = fs::recursive_directory_iterator(path_, ignored); it != fs::recursive_directory_iterator();
         it.increment(ignored))
        fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ignored);
    fs::remove_all(path_, ignored);
}

TTestDrives::TTestDrives(const std::vector<TDriveSpec>& specs) {
    for (const TDriveSpec& spec : specs) {
        platform::DriveEntry entry;
        entry.Letter = spec.Letter;
        entry.MountPoint = spec.MountPoint.empty() ? root_.Path() + "/drive-" + std::string(1, spec.Letter)
                                                   : spec.MountPoint;
        if (spec.MountPoint.empty()) fs::create_directories(entry.MountPoint);
        entry.FileSystem = spec.FileSystem;
        entry.DriveType = spec.DriveType;
        entry.Label = spec.Label.empty() ? std::string("TEST") + spec.Letter : spec.Label;
        entry.DisplayName = entry.Label + " (" + std::string(1, spec.Letter) + ":) on " + entry.MountPoint;
        entry.TypeName = spec.DriveType == platform::DRIVE_FIXED       ? "Local Disk"
                         : spec.DriveType == platform::DRIVE_REMOVABLE ? "Removable Disk"
                         : spec.DriveType == platform::DRIVE_REMOTE    ? "Network Drive"
                         : spec.DriveType == platform::DRIVE_CDROM     ? "CD Drive"
                                                                       : "Drive";
        table_.push_back(entry);
    }
    backend_ = std::make_unique<platform::PosixPlatform>(table_);
    double_ = std::make_unique<platform::TestPlatform>(*backend_);
    for (size_t i = 0; i < specs.size(); ++i) {
        if (specs[i].Capacity > 0) double_->LimitCapacity(table_[i].MountPoint, specs[i].Capacity);
    }
    scope_ = std::make_unique<platform::ScopedPlatform>(*double_);
}

TTestDrives::~TTestDrives() = default;

std::string TTestDrives::Folder(char letter) const {
    for (const auto& entry : table_) {
        if (entry.Letter == letter) return entry.MountPoint;
    }
    return {};
}

void WriteBytes(const std::string& path, const std::string& bytes) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string ReadBytes(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) return "<missing>";
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

bool Exists(const std::string& path) {
    std::error_code ignored;
    return fs::exists(path, ignored);
}

std::vector<std::string> FolderEntries(const std::string& folder) {
    std::vector<std::string> names;
    std::error_code ignored;
    for (const auto& entry : fs::directory_iterator(folder, ignored)) {
        const std::string name = entry.path().filename().string();
        if (name != "lost+found") names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    return names;
}

namespace {
int Run(const std::string& command) { return std::system((command + " >/dev/null 2>&1").c_str()); }
}  // namespace

bool TLoopVolume::Create(std::string& why) {
    if (geteuid() != 0) {
        why = "needs root to loop-mount its own ext4 image";
        return false;
    }
    image_ = folder_.File("volume.img");
    mount_ = folder_.File("mnt");
    fs::create_directories(mount_);
    if (Run("truncate -s 64M '" + image_ + "'") != 0 || Run("mkfs.ext4 -q -F '" + image_ + "'") != 0) {
        why = "cannot make an ext4 image (truncate, mkfs.ext4)";
        return false;
    }
    if (Run("mount -o loop '" + image_ + "' '" + mount_ + "'") != 0) {
        why = "cannot loop-mount the image (no loop devices?)";
        return false;
    }
    mounted_ = true;
    if (FILE* pipe = popen(("findmnt -n -o SOURCE --target '" + mount_ + "'").c_str(), "r")) {
        char line[256] = {};
        if (fgets(line, sizeof line, pipe) != nullptr) device_ = line;
        pclose(pipe);
        while (!device_.empty() && (device_.back() == '\n' || device_.back() == ' ')) device_.pop_back();
    }
    return true;
}

void TLoopVolume::Unmount() {
    if (!mounted_) return;
    Run("umount '" + mount_ + "'");
    if (!device_.empty()) Run("losetup -d '" + device_ + "'");
    mounted_ = false;
}

TLoopVolume::~TLoopVolume() { Unmount(); }

}  // namespace writertest
