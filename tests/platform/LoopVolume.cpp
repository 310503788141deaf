#include "LoopVolume.h"

#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <thread>

extern char** environ;

namespace fvntest {

std::string LoopVolume::WhyUnavailable() {
    if (::geteuid() != 0) return "needs root to attach and mount a loop device";
    if (::access("/dev/loop-control", F_OK) != 0) return "no /dev/loop-control on this machine";
    return {};
}

LoopVolume::LoopVolume(uint32_t megabytes, const std::string& label, const std::string& fileSystem) {
    bytes_ = static_cast<uint64_t>(megabytes) << 20;
    if (!WhyUnavailable().empty()) {
        error_ = WhyUnavailable();
        return;
    }
    char folder[] = "/tmp/fvn-loop-XXXXXX";
    if (::mkdtemp(folder) == nullptr) {
        error_ = "mkdtemp failed";
        return;
    }
    folder_ = folder;
    image_ = folder_ + "/volume.img";
    mountPoint_ = folder_ + "/mnt";
    if (::mkdir(mountPoint_.c_str(), 0755) != 0) {
        error_ = "mkdir of the mount point failed";
        return;
    }
    imageMade_ = true;
    if (!Run({"truncate", "-s", std::to_string(bytes_), image_})) return;
    const bool formatted = fileSystem == "vfat" ? Run({"mkfs.vfat", "-n", label, image_})
                                                : Run({"mkfs.ext4", "-q", "-F", "-L", label, image_});
    if (!formatted) return;
    std::string device;
    if (!Run({"losetup", "--find", "--show", image_}, &device)) return;
    device = device.substr(0, device.find('\n'));
    if (device.rfind("/dev/loop", 0) != 0) {
        error_ = "losetup printed no loop device: " + device;
        return;
    }
    device_ = device;
    attached_ = true;
    if (!Run({"mount", device_, mountPoint_})) return;
    mounted_ = true;
}

LoopVolume::~LoopVolume() {
    if (mounted_) {
        bool unmounted = false;
        for (int attempt = 0; attempt < 5 && !unmounted; ++attempt) {
            unmounted = Run({"umount", mountPoint_});
            if (!unmounted) std::this_thread::sleep_for(std::chrono::milliseconds(200));
        }
        // Still busy (a descriptor some test leaked): detach it from the tree; the kernel
        // finishes when the last user goes.
        if (!unmounted) Run({"umount", "-l", mountPoint_});
    }
    if (attached_) Run({"losetup", "-d", device_});
    if (imageMade_) {
        ::unlink(image_.c_str());
        ::rmdir(mountPoint_.c_str());
    }
    if (!folder_.empty()) ::rmdir(folder_.c_str());
}

bool LoopVolume::Run(const std::vector<std::string>& argv, std::string* output) {
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);

    int pipeFds[2] = {-1, -1};
    if (::pipe(pipeFds) != 0) {
        error_ = "pipe failed";
        return false;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 1);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 2);
    posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
    pid_t pid = 0;
    const int spawned = ::posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipeFds[1]);
    std::string text;
    char buffer[512];
    for (ssize_t n; (n = ::read(pipeFds[0], buffer, sizeof buffer)) != 0;) {
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) break;
        text.append(buffer, static_cast<size_t>(n));
    }
    ::close(pipeFds[0]);
    if (spawned != 0) {
        error_ = argv[0] + ": cannot start";
        return false;
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (output != nullptr) *output = text;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        error_ = argv[0] + " failed: " + text;
        return false;
    }
    return true;
}

}  // namespace fvntest
