#pragma once
// Drives for writer tests that are the test's own: temporary folders (with a capacity limit, so
// the eraser can never fill the machine's disk) or a loop-mounted image, behind a backend whose
// drive table holds nothing else. Installed as the process's backend for the object's life.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "TempFolder.h"
#include "platform/Platform.h"
#include "platform/posix/PosixPlatform.h"
#include "platform/testing/TestPlatform.h"

namespace writertest {

using TTempFolder = testsupport::TempFolder;

struct TDriveSpec {
    TDriveSpec(char letter, uint32_t driveType = platform::DRIVE_FIXED, uint64_t capacity = 4u << 20,
               std::string fileSystem = "ext4", std::string mountPoint = {})
        : Letter(letter), DriveType(driveType), Capacity(capacity), FileSystem(std::move(fileSystem)),
          MountPoint(std::move(mountPoint)) {}
    char Letter;
    uint32_t DriveType;
    uint64_t Capacity;       // bytes the eraser may fill; 0: no limit (tests that write nothing, real volumes)
    std::string FileSystem;
    std::string MountPoint;  // empty: a new temporary folder
    std::string Label;       // empty: "TEST" and the letter
};

class TTestDrives {
public:
    explicit TTestDrives(const std::vector<TDriveSpec>& specs);
    ~TTestDrives();
    TTestDrives(const TTestDrives&) = delete;
    TTestDrives& operator=(const TTestDrives&) = delete;

    // The native folder behind a drive letter.
    [[nodiscard]] std::string Folder(char letter) const;
    [[nodiscard]] platform::TestPlatform& Double() { return *double_; }

private:
    TTempFolder root_;
    std::vector<platform::DriveEntry> table_;
    std::unique_ptr<platform::PosixPlatform> backend_;
    std::unique_ptr<platform::TestPlatform> double_;
    std::unique_ptr<platform::ScopedPlatform> scope_;
};

// Writes bytes to a file, creating or truncating it.
void WriteBytes(const std::string& path, const std::string& bytes);
// The whole file, or "<missing>".
[[nodiscard]] std::string ReadBytes(const std::string& path);
[[nodiscard]] bool Exists(const std::string& path);
// Names in a folder, sorted.
[[nodiscard]] std::vector<std::string> FolderEntries(const std::string& folder);

}  // namespace writertest
