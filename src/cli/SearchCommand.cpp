// fvn search: finds a piece of the watermark on a raw volume, as the inspector's search does.
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <charconv>
#include <iostream>
#include <ostream>
#include <vector>

#include "cli/Commands.h"
#include "cli/DriveArgument.h"
#include "cli/Progress.h"
#include "inspector/DirectDisk.h"
#include "inspector/SectorSearch.h"
#include "platform/Platform.h"

namespace cli {

namespace {

void PrintSearchUsage(std::ostream& out) {
    out << "Usage: fvn search [--from SECTOR] [--backward] TEXT VOLUME\n"
           "\n"
           "Looks for TEXT in the raw sectors of VOLUME and prints where it begins.\n"
           "VOLUME is a drive letter (E or E:), a folder on a mounted volume, a block device\n"
           "or a disk image file. TEXT is taken byte for byte; letter case matters.\n"
           "\n"
           "  --from SECTOR   start at this sector (default: the first sector, or the last\n"
           "                  one with --backward)\n"
           "  --backward      search towards sector 0 and report the nearest hit that ends\n"
           "                  at or before the start sector\n"
           "\n"
           "Exit status: 0 found, 1 not found, 2 usage error or unreadable volume.\n";
}

int UsageError(std::ostream& err, const std::string& message) {
    err << "fvn search: " << message << "\n\n";
    PrintSearchUsage(err);
    return 2;
}

// Selects what VOLUME names on the disk; false with the reason when it names nothing readable.
bool SelectVolume(inspector::TDirDisk& disk, const std::string& volume, std::string& error) {
    // A block device or an image file is read as it is; a letter or a folder stands for its drive.
    struct stat st {};
    const bool isDrive = IsDriveLetterForm(volume) &&
                         (platform::Platform().GetLogicalDrives() &
                          (1u << (std::toupper(static_cast<unsigned char>(volume[0])) - 'A'))) != 0;
    char letter = 0;
    if (isDrive || ::stat(volume.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) {
        letter = ResolveDriveArgument(volume, error);
        if (letter == 0) return false;
        // A letter the disk already has would not be queried again; another letter is.
        disk.SetDevicePath({});
        disk.SetDriveName(letter);
    } else {
        disk.SetDevicePath(volume);
    }
    if (disk.TotalSectors() == 0) {
        const std::string name = letter != 0 ? "drive " + std::string(1, letter) + ":" : volume;
        const std::string reason = disk.FailureReason();
        error = "cannot read " + name + (reason.empty() ? "" : " (" + reason + ")");
        return false;
    }
    return true;
}

}  // namespace

int RunSearchCommand(const Args& args, std::ostream& out, std::ostream& err) {
    bool backward = false;
    bool haveFrom = false;
    uint64_t from = 0;
    std::vector<std::string> positional;
    bool optionsEnd = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (!optionsEnd && (a == "--help" || a == "-h")) {
            PrintSearchUsage(out);
            return 0;
        }
        if (!optionsEnd && a == "--") {
            optionsEnd = true;
        } else if (!optionsEnd && a == "--backward") {
            backward = true;
        } else if (!optionsEnd && (a == "--from" || a.rfind("--from=", 0) == 0)) {
            std::string value;
            if (a == "--from") {
                if (i + 1 >= args.size()) return UsageError(err, "--from needs a sector number");
                value = args[++i];
            } else {
                value = a.substr(7);
            }
            const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), from);
            if (ec != std::errc() || end != value.data() + value.size() || value.empty())
                return UsageError(err, "'" + value + "' is not a sector number");
            haveFrom = true;
        } else if (!optionsEnd && a.size() > 1 && a[0] == '-' && a != "-") {
            return UsageError(err, "unknown option '" + a + "'");
        } else {
            positional.push_back(a);
        }
    }
    if (positional.size() != 2) return UsageError(err, "give the TEXT and the VOLUME");
    const std::string& text = positional[0];
    const std::string& volume = positional[1];
    // Never found, so it would only read the whole volume to say so.
    if (text.empty()) return UsageError(err, "the TEXT is empty");

    inspector::TDirDisk disk;
    std::string error;
    if (!SelectVolume(disk, volume, error)) {
        err << "fvn search: " << error << "\n";
        return 2;
    }
    const uint32_t total = disk.TotalSectors();
    if (haveFrom && from >= total) {
        err << "fvn search: sector " << from << " is beyond the last sector (" << total - 1 << ")\n";
        return 2;
    }
    const uint32_t start = haveFrom ? static_cast<uint32_t>(from) : (backward ? total - 1 : 0);

    std::vector<uint8_t> readBuffer(inspector::TSectorSearch::BufferBytes);
    std::vector<uint8_t> viewBuffer(inspector::TSectorSearch::BufferBytes);
    inspector::TSectorSearch search(disk, readBuffer, viewBuffer);
    const bool terminal = &err == &std::cerr && ::isatty(STDERR_FILENO) == 1;
    ProgressReporter progress(err, terminal);
    const int64_t bps = disk.BytesPerSector();
    const int64_t span = backward ? static_cast<int64_t>(start) + 1 : static_cast<int64_t>(total) - start;
    if (terminal) {
        progress.Start("Searching", span * bps);
        search.OnProgress = [&](uint32_t s) {
            const int64_t done = backward ? static_cast<int64_t>(start) - s : static_cast<int64_t>(s) - start;
            progress.Update(done * bps);
        };
    }
    const inspector::TSearchResult result =
        search.Run(text, start, backward ? inspector::TSearchDirection::sdBackward : inspector::TSearchDirection::sdForward);
    if (terminal) progress.Finish();

    if (result.UnreadableSectors > 0) {
        err << "fvn search: " << result.UnreadableSectors << " sectors could not be read and were not searched ("
            << result.LastReadFailure.Text() << ")\n";
    }
    if (result.FoundSector < 0) {
        out << "not found\n";
        return 1;
    }
    const int64_t byte = result.FoundSector * bps + result.FoundOffset;
    out << "found at sector " << result.FoundSector << ", offset " << result.FoundOffset << " (byte " << byte << ")\n";
    return 0;
}

}  // namespace cli
