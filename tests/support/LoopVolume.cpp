#include "LoopVolume.h"

#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <thread>
#include <vector>

extern char** environ;

namespace testsupport {

namespace {

// Runs a program with exactly these arguments (no shell, so no path is ever split or expanded).
// True when it exits with 0; its standard output and error go to output, the failure to error.
bool Run(const std::vector<std::string>& argv, std::string* output = nullptr, std::string* error = nullptr) {
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);

    int pipeFds[2] = {-1, -1};
    if (::pipe(pipeFds) != 0) {
        if (error != nullptr) *error = "pipe failed";
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
    std::array<char, 512> buffer{};
    for (ssize_t n; (n = ::read(pipeFds[0], buffer.data(), buffer.size())) != 0;) {
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) break;
        text.append(buffer.data(), static_cast<size_t>(n));
    }
    ::close(pipeFds[0]);
    if (spawned != 0) {
        if (error != nullptr) *error = argv[0] + ": cannot start";
        return false;
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (output != nullptr) *output = text;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        if (error != nullptr) *error = argv[0] + " failed: " + text;
        return false;
    }
    return true;
}

std::vector<std::string> FormatCommand(const std::string& fileSystem, const std::string& label,
                                       const std::string& image) {
    std::vector<std::string> argv{"mkfs." + fileSystem};
    if (fileSystem == "ext4") argv.insert(argv.end(), {"-q", "-F", "-b", "4096"});
    if (fileSystem == "xfs") argv.insert(argv.end(), {"-q", "-f"});
    if (!label.empty()) argv.insert(argv.end(), {fileSystem == "vfat" ? "-n" : "-L", label});
    argv.push_back(image);
    return argv;
}

}  // namespace

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

std::string LoopVolume::WhyUnavailable() {
    if (!IsRoot()) return "needs root to attach and mount a loop device";
    if (::access("/dev/loop-control", F_OK) != 0) return "no /dev/loop-control on this machine";
    return {};
}

std::unique_ptr<LoopVolume> LoopVolume::Create(uint64_t sizeBytes, const std::string& fileSystem, std::string& error,
                                               bool directIo, const std::string& label) {
    if (error = WhyUnavailable(); !error.empty()) return nullptr;
    char templ[] = "/tmp/fvn-volume.XXXXXX";
    if (::mkdtemp(templ) == nullptr) {
        error = "mkdtemp failed";
        return nullptr;
    }
    // From here on the destructor cleans up whatever step fails.
    std::unique_ptr<LoopVolume> v(new LoopVolume);
    v->folder_ = templ;
    v->image_ = v->folder_ + "/volume.img";
    v->mountPoint_ = v->folder_ + "/mnt";
    v->bytes_ = sizeBytes;
    if (::mkdir(v->mountPoint_.c_str(), 0755) != 0) {
        error = "mkdir of the mount point failed";
        return nullptr;
    }
    if (!Run({"fallocate", "-l", std::to_string(sizeBytes), v->image_}, nullptr, &error) ||
        !Run(FormatCommand(fileSystem, label, v->image_), nullptr, &error))
        return nullptr;
    std::vector<std::string> attach{"losetup", "--find", "--show", v->image_};
    if (directIo) attach.insert(attach.begin() + 1, "--direct-io=on");
    std::string device;
    if (!Run(attach, &device, &error)) return nullptr;
    device = device.substr(0, device.find('\n'));
    if (device.rfind("/dev/loop", 0) != 0) {
        error = "losetup printed no loop device: " + device;
        return nullptr;
    }
    v->device_ = device;
    if (!v->Mount()) {
        error = "mount of " + device + " failed";
        return nullptr;
    }
    error.clear();
    return v;
}

bool LoopVolume::Mount(bool readOnly) {
    if (mounted_) return true;
    std::vector<std::string> argv{"mount"};
    if (readOnly) argv.insert(argv.end(), {"-o", "ro"});
    argv.insert(argv.end(), {device_, mountPoint_});
    mounted_ = Run(argv);
    return mounted_;
}

bool LoopVolume::Unmount() {
    if (!mounted_) return true;
    ::sync();
    for (int attempt = 0; attempt < 5 && mounted_; ++attempt) {
        if (attempt > 0) std::this_thread::sleep_for(std::chrono::milliseconds(200));
        mounted_ = !Run({"umount", mountPoint_});
    }
    return !mounted_;
}

LoopVolume::~LoopVolume() {
    // Still busy (a descriptor some test leaked): detach it from the tree; the kernel finishes
    // when the last user goes.
    if (!Unmount() && Run({"umount", "-l", mountPoint_})) mounted_ = false;
    if (!device_.empty()) Run({"losetup", "-d", device_});
    std::error_code ignored;
    if (!mounted_) {
        std::filesystem::remove_all(folder_, ignored);
    } else {
        // Never remove files through a mount that is still there: only what Create put next to it.
        std::filesystem::remove(image_, ignored);
    }
}

}  // namespace testsupport
