#pragma once
// A real volume of the test's own: an image file under /tmp, formatted, attached to a free loop
// device and mounted on a folder next to it. The destructor unmounts, detaches and removes
// exactly what the constructor made, also when the test failed half-way. Needs root.
#include <cstdint>
#include <string>
#include <vector>

namespace fvntest {

class LoopVolume {
public:
    // fileSystem: "ext4" (mkfs.ext4 -q -F) or "vfat" (mkfs.vfat).
    explicit LoopVolume(uint32_t megabytes = 32, const std::string& label = "FVNTEST", const std::string& fileSystem = "ext4");
    ~LoopVolume();
    LoopVolume(const LoopVolume&) = delete;
    LoopVolume& operator=(const LoopVolume&) = delete;

    // False when a step failed; Error() says which.
    [[nodiscard]] bool Ready() const { return mounted_; }
    [[nodiscard]] const std::string& Error() const { return error_; }
    [[nodiscard]] const std::string& MountPoint() const { return mountPoint_; }
    [[nodiscard]] const std::string& Device() const { return device_; }  // "/dev/loopN"
    [[nodiscard]] uint64_t ByteSize() const { return bytes_; }

    // Why tests on a loop volume cannot run here; empty when they can.
    [[nodiscard]] static std::string WhyUnavailable();

private:
    bool Run(const std::vector<std::string>& argv, std::string* output = nullptr);

    std::string folder_;
    std::string image_;
    std::string mountPoint_;
    std::string device_;
    uint64_t bytes_ = 0;
    bool imageMade_ = false;
    bool attached_ = false;
    bool mounted_ = false;
    std::string error_;
};

}  // namespace fvntest
