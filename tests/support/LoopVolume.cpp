#include "LoopVolume.h"

#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <cstdlib>

namespace testsupport {

int Shell(const std::string& command) {
    const int status = std::system(command.c_str());
    if (status == -1 || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

std::string ShellOutput(const std::string& command) {
    std::string out;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) return out;
    std::array<char, 4096> chunk{};
    size_t n = 0;
    while ((n = std::fread(chunk.data(), 1, chunk.size(), pipe)) > 0) out.append(chunk.data(), n);
    ::pclose(pipe);
    return out;
}

bool IsRoot() { return ::geteuid() == 0; }

std::unique_ptr<LoopVolume> LoopVolume::Create(uint64_t sizeBytes, const std::string& fileSystem, std::string& error,
                                               bool directIo) {
    if (!IsRoot()) {
        error = "needs root to loop-mount a test volume";
        return nullptr;
    }
    char templ[] = "/tmp/fvn-volume.XXXXXX";
    if (::mkdtemp(templ) == nullptr) {
        error = "mkdtemp failed";
        return nullptr;
    }
    std::unique_ptr<LoopVolume> v(new LoopVolume);
    v->folder_ = templ;
    v->image_ = v->folder_ + "/volume.img";
    v->mountPoint_ = v->folder_ + "/mnt";
    v->fileSystem_ = fileSystem;
    std::string mkfs = "mkfs." + fileSystem;
    if (fileSystem == "ext4") mkfs += " -q -F -b 4096";
    if (fileSystem == "xfs") mkfs += " -q -f";
    if (Shell("fallocate -l " + std::to_string(sizeBytes) + " " + v->image_ + " && " + mkfs + " " + v->image_ +
              " >/dev/null 2>&1 && mkdir -p " + v->mountPoint_) != 0) {
        error = "could not make the image";
        return nullptr;
    }
    std::string dev = ShellOutput(std::string("losetup ") + (directIo ? "--direct-io=on " : "") + "-f --show " +
                                  v->image_ + " 2>/dev/null");
    while (!dev.empty() && (dev.back() == '\n' || dev.back() == ' ')) dev.pop_back();
    if (dev.empty()) {
        error = "no free loop device";
        return nullptr;
    }
    v->device_ = dev;
    if (!v->Mount()) {
        error = "mount failed";
        return nullptr;
    }
    return v;
}

bool LoopVolume::Mount(bool readOnly) {
    if (mounted_) return true;
    mounted_ = Shell("mount " + std::string(readOnly ? "-o ro " : "") + device_ + " " + mountPoint_) == 0;
    return mounted_;
}

bool LoopVolume::Unmount() {
    if (!mounted_) return true;
    Shell("sync");
    mounted_ = Shell("umount " + mountPoint_) != 0;
    return !mounted_;
}

LoopVolume::~LoopVolume() {
    if (mounted_ && Shell("umount " + mountPoint_) != 0) Shell("umount -l " + mountPoint_);
    if (!device_.empty()) Shell("losetup -d " + device_ + " 2>/dev/null");
    if (!folder_.empty()) Shell("rm -rf " + folder_);
}

}  // namespace testsupport
