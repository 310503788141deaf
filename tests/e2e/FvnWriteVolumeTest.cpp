// fvn write on real loop-mounted volumes: the free blocks end up holding the watermark, the
// files and the file system stay intact, and every way out removes the temporary files.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "LoopVolume.h"

namespace fs = std::filesystem;
using testsupport::LoopVolume;
using testsupport::Shell;
using testsupport::ShellOutput;

namespace {

const std::string kFvn = FVN_BINARY;
const std::string kWatermark = "Owner: Jane Example, 12 Sample Road, Springfield, +1 555 0100";

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void WriteAll(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary);
    out << bytes;
}

// The 64 KiB block the eraser lays down, worked out here independently: the text end to end,
// the remainder filled with spaces.
std::string PatternBlock(const std::string& text, size_t size = 65536) {
    std::string block;
    while (block.size() + text.size() <= size) block += text;
    block.append(size - block.size(), ' ');
    return block;
}

// Free block numbers of an ext4 image, from dumpe2fs's per-group "Free blocks:" lists.
std::vector<uint64_t> FreeBlocks(const std::string& image) {
    std::vector<uint64_t> blocks;
    std::istringstream lines(ShellOutput("dumpe2fs " + image + " 2>/dev/null"));
    std::string line;
    while (std::getline(lines, line)) {
        const auto at = line.find("  Free blocks: ");
        if (at == std::string::npos) continue;
        std::istringstream ranges(line.substr(at + 15));
        std::string range;
        while (std::getline(ranges, range, ',')) {
            range.erase(0, range.find_first_not_of(' '));
            if (range.empty()) continue;
            const auto dash = range.find('-');
            const uint64_t first = std::stoull(range.substr(0, dash));
            const uint64_t last = dash == std::string::npos ? first : std::stoull(range.substr(dash + 1));
            for (uint64_t b = first; b <= last; ++b) blocks.push_back(b);
        }
    }
    return blocks;
}

struct RunResult {
    int status = -1;
    std::string out;
    std::string err;
};

RunResult RunFvn(const std::vector<std::string>& args) {
    char outName[] = "/tmp/fvn-e2e-out.XXXXXX";
    char errName[] = "/tmp/fvn-e2e-err.XXXXXX";
    const int outFd = ::mkstemp(outName);
    const int errFd = ::mkstemp(errName);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(outFd, 1);
        ::dup2(errFd, 2);
        std::vector<char*> argv;
        argv.push_back(const_cast<char*>(kFvn.c_str()));
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        ::execv(kFvn.c_str(), argv.data());
        ::_exit(127);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    ::close(outFd);
    ::close(errFd);
    RunResult r{WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadAll(outName), ReadAll(errName)};
    ::unlink(outName);
    ::unlink(errName);
    return r;
}

bool HasTemporaryFiles(const std::string& folder) {
    for (const auto& e : fs::directory_iterator(folder))
        if (e.path().extension() == ".FVNTMP") return true;
    return false;
}

#define REQUIRE_VOLUME(var, size, fsType, ...)                                      \
    std::string volumeError;                                                        \
    auto var = LoopVolume::Create(size, fsType, volumeError, ##__VA_ARGS__);        \
    if (!var) GTEST_SKIP() << "no test volume: " << volumeError

}  // namespace

TEST(FvnWriteVolume, MarksTheFreeBlocksAndLeavesFilesAndFileSystemIntact) {
    REQUIRE_VOLUME(volume, 256u << 20, "ext4");
    // A few files of different sizes, one in a folder, so the free space is not one run.
    std::map<std::string, std::string> files;
    std::string random = ShellOutput("head -c 5000000 /dev/urandom");
    files["photos.bin"] = random;
    files["notes.txt"] = "Notes that must survive.\n";
    fs::create_directory(volume->MountPoint() + "/docs");
    files["docs/letter.txt"] = std::string(123457, 'x');
    for (const auto& [name, bytes] : files) WriteAll(volume->MountPoint() + "/" + name, bytes);
    ASSERT_TRUE(volume->Unmount());
    const std::vector<uint64_t> freeBefore = FreeBlocks(volume->Image());
    ASSERT_GT(freeBefore.size(), 50000u);
    ASSERT_TRUE(volume->Mount());

    const RunResult r = RunFvn({"write", "--text", kWatermark, volume->MountPoint()});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("marked"), std::string::npos) << r.out;
    EXPECT_FALSE(HasTemporaryFiles(volume->MountPoint()));
    for (const auto& [name, bytes] : files) EXPECT_EQ(ReadAll(volume->MountPoint() + "/" + name), bytes) << name;
    ASSERT_TRUE(volume->Unmount());

    EXPECT_EQ(Shell("e2fsck -fn " + volume->Image() + " >/dev/null 2>&1"), 0);

    // Every 4 KiB block of a temporary file lies at a multiple of 4 KiB in it, so it holds one
    // of the sixteen 4 KiB slices of the pattern block.
    const std::string block = PatternBlock(kWatermark);
    std::set<std::string> slices;
    for (size_t at = 0; at < block.size(); at += 4096) slices.insert(block.substr(at, 4096));
    std::ifstream image(volume->Image(), std::ios::binary);
    std::string data(4096, '\0');
    size_t marked = 0;
    for (uint64_t b : freeBefore) {
        image.seekg(static_cast<std::streamoff>(b * 4096));
        image.read(data.data(), 4096);
        if (slices.count(data) != 0) ++marked;
    }
    const double share = static_cast<double>(marked) / static_cast<double>(freeBefore.size());
    std::cout << marked << " of " << freeBefore.size() << " free blocks hold the watermark\n";
    EXPECT_GE(share, 0.97) << marked << " of " << freeBefore.size() << " free blocks hold the watermark";
}

// The same through another file system, with its own allocation and direct I/O rules.
TEST(FvnWriteVolume, XfsVolumeIsMarkedToo) {
    REQUIRE_VOLUME(volume, 320u << 20, "xfs");
    WriteAll(volume->MountPoint() + "/keep.txt", "keep me");
    const RunResult r = RunFvn({"write", "--text", kWatermark, volume->MountPoint()});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_FALSE(HasTemporaryFiles(volume->MountPoint()));
    EXPECT_EQ(ReadAll(volume->MountPoint() + "/keep.txt"), "keep me");
    const uint64_t freeBytes = std::stoull(ShellOutput("stat -f -c '%f * %S' " + volume->MountPoint() + " | bc"));
    ASSERT_TRUE(volume->Unmount());
    const std::string image = ReadAll(volume->Image());
    size_t copies = 0;
    for (size_t at = image.find(kWatermark); at != std::string::npos; at = image.find(kWatermark, at + 1)) ++copies;
    // Each 64 KiB block holds 65536 div the text's length copies; nearly all of the free space is covered.
    const double expected = static_cast<double>(freeBytes) / 65536.0 * static_cast<double>(65536 / kWatermark.size());
    EXPECT_GT(static_cast<double>(copies), 0.97 * expected) << copies << " copies";
    EXPECT_EQ(Shell("xfs_repair -n " + volume->Image() + " >/dev/null 2>&1"), 0);
}

TEST(FvnWriteVolume, ReadOnlyVolumeIsReportedAsFailedWithTheReason) {
    REQUIRE_VOLUME(volume, 32u << 20, "ext4");
    ASSERT_TRUE(volume->Unmount());
    ASSERT_TRUE(volume->Mount(/*readOnly=*/true));
    const RunResult r = RunFvn({"write", "--text", kWatermark, volume->MountPoint()});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("failed"), std::string::npos) << r.err;
    // The system's reason is passed on ("The media is write protected." or "Access is denied.").
    EXPECT_TRUE(r.err.find("protected") != std::string::npos || r.err.find("denied") != std::string::npos) << r.err;
    EXPECT_EQ(r.out.find("marked"), std::string::npos) << r.out;
}

// Ctrl+C and SIGTERM stop the run after the current write; the temporary files are deleted.
TEST(FvnWriteVolume, StopSignalsDeleteTheTemporaryFiles) {
    for (const int signal : {SIGINT, SIGTERM}) {
        SCOPED_TRACE(signal == SIGINT ? "SIGINT" : "SIGTERM");
        // Direct I/O on the loop device and small writes keep the fill slow enough to interrupt.
        REQUIRE_VOLUME(volume, 1024u << 20, "ext4", /*directIo=*/true);
        WriteAll(volume->MountPoint() + "/keep.txt", "keep");
        char errName[] = "/tmp/fvn-e2e-sig.XXXXXX";
        const int errFd = ::mkstemp(errName);
        const pid_t pid = ::fork();
        if (pid == 0) {
            ::dup2(errFd, 2);
            ::execl(kFvn.c_str(), kFvn.c_str(), "write", "--write-size", "65536", "--text", kWatermark.c_str(),
                    volume->MountPoint().c_str(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
        // Wait until the first temporary file exists, then interrupt.
        bool started = false;
        for (int i = 0; i < 200 && !started; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(25));
            started = HasTemporaryFiles(volume->MountPoint());
        }
        ::kill(pid, signal);
        int status = 0;
        ::waitpid(pid, &status, 0);
        ::close(errFd);
        const std::string err = ReadAll(errName);
        ::unlink(errName);
        ASSERT_TRUE(started) << err;
        ASSERT_TRUE(WIFEXITED(status)) << "fvn was killed instead of stopping: " << err;
        EXPECT_EQ(WEXITSTATUS(status), 1) << err;
        EXPECT_NE(err.find("stopped"), std::string::npos) << err;
        EXPECT_FALSE(HasTemporaryFiles(volume->MountPoint()));
        EXPECT_EQ(ReadAll(volume->MountPoint() + "/keep.txt"), "keep");
    }
}
