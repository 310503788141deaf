#pragma once
// A volume of the test's own: an image file under /tmp, formatted and loop-mounted. The
// destructor unmounts it, detaches the loop device and removes the files on every path, so
// nothing but the test's own image is ever written. Needs root.
#include <cstdint>
#include <memory>
#include <string>

namespace testsupport {

class LoopVolume {
public:
    // fileSystem: "ext4", "xfs" or "vfat" (as the kernel supports them). Nothing (and the reason in error) when it cannot be made.
    [[nodiscard]] static std::unique_ptr<LoopVolume> Create(uint64_t sizeBytes, const std::string& fileSystem,
                                                            std::string& error, bool directIo = false);
    ~LoopVolume();
    LoopVolume(const LoopVolume&) = delete;
    LoopVolume& operator=(const LoopVolume&) = delete;

    [[nodiscard]] const std::string& Image() const { return image_; }
    [[nodiscard]] const std::string& MountPoint() const { return mountPoint_; }
    [[nodiscard]] const std::string& Device() const { return device_; }
    [[nodiscard]] bool Mounted() const { return mounted_; }

    bool Unmount();
    bool Mount(bool readOnly = false);

private:
    LoopVolume() = default;
    std::string folder_, image_, mountPoint_, device_, fileSystem_;
    bool mounted_ = false;
};

// Runs a shell command; its exit status (-1 when it could not run).
int Shell(const std::string& command);
// Runs a shell command and returns what it printed on standard output.
std::string ShellOutput(const std::string& command);
// True when the process may loop-mount volumes.
bool IsRoot();

}  // namespace testsupport
