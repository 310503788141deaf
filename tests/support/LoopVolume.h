#pragma once
// A volume of the test's own: an image file under /tmp, formatted, attached to a free loop device
// and mounted on a folder next to it. The destructor unmounts, detaches and removes exactly what
// Create made, also when the test failed half-way, so nothing but the test's own image is ever
// written. Needs root.
#include <cstdint>
#include <memory>
#include <string>

namespace testsupport {

class LoopVolume {
public:
    // fileSystem: "ext4" (4 KiB blocks), "xfs" or "vfat", as the kernel supports them; label: the
    // volume label mkfs writes, none when empty. Nothing (and the reason in error) when it cannot be made.
    [[nodiscard]] static std::unique_ptr<LoopVolume> Create(uint64_t sizeBytes, const std::string& fileSystem,
                                                            std::string& error, bool directIo = false,
                                                            const std::string& label = {});
    // Why loop volumes cannot be made here; empty when they can.
    [[nodiscard]] static std::string WhyUnavailable();

    ~LoopVolume();
    LoopVolume(const LoopVolume&) = delete;
    LoopVolume& operator=(const LoopVolume&) = delete;

    [[nodiscard]] const std::string& Image() const { return image_; }
    [[nodiscard]] const std::string& MountPoint() const { return mountPoint_; }
    [[nodiscard]] const std::string& Device() const { return device_; }  // "/dev/loopN"
    [[nodiscard]] uint64_t ByteSize() const { return bytes_; }
    [[nodiscard]] bool Mounted() const { return mounted_; }

    // Syncs and unmounts; a busy volume is tried a few times. The loop device stays attached.
    bool Unmount();
    bool Mount(bool readOnly = false);

private:
    LoopVolume() = default;
    std::string folder_, image_, mountPoint_, device_;
    uint64_t bytes_ = 0;
    bool mounted_ = false;
};

// Runs a shell command; its exit status (-1 when it could not run).
int Shell(const std::string& command);
// Runs a shell command and returns what it printed on standard output.
std::string ShellOutput(const std::string& command);
// True when the process may loop-mount volumes.
bool IsRoot();

}  // namespace testsupport
