#pragma once
// The backends the platform tests run against. Each maps drive X: to a folder of the test's own
// and nothing else, so no test can reach a volume it did not make.
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <string>

#include "LoopVolume.h"
#include "platform/posix/PosixPlatform.h"
#include "platform/testing/TestPlatform.h"

namespace fvntest {

inline constexpr char kLetter = 'X';

// A fresh folder under /tmp, removed with everything in it.
class TempFolder {
public:
    TempFolder() {
        char name[] = "/tmp/fvn-platform-XXXXXX";
        if (::mkdtemp(name) != nullptr) path_ = std::filesystem::canonical(name).string();
    }
    ~TempFolder() {
        std::error_code ec;
        if (!path_.empty()) std::filesystem::remove_all(path_, ec);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    [[nodiscard]] const std::string& Path() const { return path_; }

private:
    std::string path_;
};

inline platform::DriveEntry DriveFor(const std::string& mountPoint, const std::string& device = {},
                                     const std::string& fileSystem = {}, const std::string& label = {}) {
    platform::DriveEntry d;
    d.Letter = kLetter;
    d.MountPoint = mountPoint;
    d.Device = device;
    d.FileSystem = fileSystem;
    d.Label = label;
    d.DriveType = platform::DRIVE_FIXED;
    d.TypeName = "Local Disk";
    d.DisplayName = (label.empty() ? std::string("test") : label) + " (X:) on " + mountPoint;
    d.SerialNumber = 0x1234ABCD;
    return d;
}

// PosixPlatform on a temp folder.
class TempFolderBackend {
public:
    static constexpr const char* Name = "PosixOnTempFolder";
    TempFolderBackend() : platform_(std::vector<platform::DriveEntry>{DriveFor(folder_.Path())}) {}
    [[nodiscard]] std::string SkipReason() const { return {}; }
    [[nodiscard]] platform::IPlatform& Platform() { return platform_; }
    [[nodiscard]] const std::string& Folder() const { return folder_.Path(); }

private:
    TempFolder folder_;
    platform::PosixPlatform platform_;
};

// PosixPlatform on a loop-mounted ext4 image of its own (root only).
class LoopVolumeBackend {
public:
    static constexpr const char* Name = "PosixOnLoopExt4";
    LoopVolumeBackend() {
        if (!LoopVolume::WhyUnavailable().empty()) return;
        volume_.emplace(32, "FVNTEST", "ext4");
        if (volume_->Ready())
            platform_.emplace(std::vector<platform::DriveEntry>{
                DriveFor(volume_->MountPoint(), volume_->Device(), "ext4", "FVNTEST")});
    }
    ~LoopVolumeBackend() { platform_.reset(); }  // close every descriptor before the unmount
    [[nodiscard]] std::string SkipReason() const {
        if (!LoopVolume::WhyUnavailable().empty()) return LoopVolume::WhyUnavailable();
        return volume_->Ready() ? std::string() : "loop volume not made: " + volume_->Error();
    }
    [[nodiscard]] platform::IPlatform& Platform() { return *platform_; }
    [[nodiscard]] const std::string& Folder() const { return volume_->MountPoint(); }
    [[nodiscard]] LoopVolume& Volume() { return *volume_; }

private:
    std::optional<LoopVolume> volume_;
    std::optional<platform::PosixPlatform> platform_;
};

// The test double, with nothing configured, around PosixPlatform on a temp folder.
class DoubleBackend {
public:
    static constexpr const char* Name = "TestPlatformOnTempFolder";
    DoubleBackend() : posix_(std::vector<platform::DriveEntry>{DriveFor(folder_.Path())}), double_(posix_) {}
    [[nodiscard]] std::string SkipReason() const { return {}; }
    [[nodiscard]] platform::IPlatform& Platform() { return double_; }
    [[nodiscard]] platform::TestPlatform& Double() { return double_; }
    [[nodiscard]] const std::string& Folder() const { return folder_.Path(); }

private:
    TempFolder folder_;
    platform::PosixPlatform posix_;
    platform::TestPlatform double_;
};

inline void WriteNativeFile(const std::string& path, const std::string& content) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
}

inline std::string ReadNativeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Puts the process's current folder back on every way out (a folder left current on a loop
// volume would keep it from being unmounted).
class CurrentFolderGuard {
public:
    CurrentFolderGuard() : saved_(std::filesystem::current_path()) {}
    ~CurrentFolderGuard() {
        std::error_code ec;
        std::filesystem::current_path(saved_, ec);
    }
    CurrentFolderGuard(const CurrentFolderGuard&) = delete;
    CurrentFolderGuard& operator=(const CurrentFolderGuard&) = delete;

private:
    std::filesystem::path saved_;
};

}  // namespace fvntest
