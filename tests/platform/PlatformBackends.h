#pragma once
// The backends the platform tests run against. Each maps drive X: to a folder of the test's own
// and nothing else, so no test can reach a volume it did not make.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <string>

#include "LoopVolume.h"
#include "TempFolder.h"
#include "platform/posix/PosixPlatform.h"
#include "platform/testing/TestPlatform.h"

namespace fvntest {

inline constexpr char kLetter = 'X';

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
    testsupport::TempFolder folder_{"fvn-platform"};
    platform::PosixPlatform platform_;
};

// PosixPlatform on a loop-mounted 32 MiB ext4 image of its own (root only).
class LoopVolumeBackend {
public:
    static constexpr const char* Name = "PosixOnLoopExt4";
    LoopVolumeBackend() {
        volume_ = testsupport::LoopVolume::Create(32u << 20, "ext4", error_, false, "FVNTEST");
        if (volume_)
            platform_.emplace(std::vector<platform::DriveEntry>{
                DriveFor(volume_->MountPoint(), volume_->Device(), "ext4", "FVNTEST")});
    }
    ~LoopVolumeBackend() { platform_.reset(); }  // close every descriptor before the unmount
    [[nodiscard]] std::string SkipReason() const {
        if (const std::string why = testsupport::LoopVolume::WhyUnavailable(); !why.empty()) return why;
        return volume_ ? std::string() : "loop volume not made: " + error_;
    }
    [[nodiscard]] platform::IPlatform& Platform() { return *platform_; }
    [[nodiscard]] const std::string& Folder() const { return volume_->MountPoint(); }
    [[nodiscard]] testsupport::LoopVolume& Volume() { return *volume_; }

private:
    std::string error_;
    std::unique_ptr<testsupport::LoopVolume> volume_;
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
    testsupport::TempFolder folder_{"fvn-platform"};
    platform::PosixPlatform posix_;
    platform::TestPlatform double_;
};

// A fresh backend for each test, gone before the next; a backend that cannot run here skips it.
template <class Backend>
class BackendTest : public ::testing::Test {
protected:
    void SetUp() override {
        backend_ = std::make_unique<Backend>();
        if (const std::string reason = backend_->SkipReason(); !reason.empty()) GTEST_SKIP() << reason;
    }
    void TearDown() override { backend_.reset(); }

    platform::IPlatform& P() { return backend_->Platform(); }
    std::string Native(const std::string& name) const { return backend_->Folder() + "/" + name; }

    std::unique_ptr<Backend> backend_;
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
