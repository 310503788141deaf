// fvn write: the wizard's run without the wizard. One text pass over the free space of every
// named drive, progress on standard error, Ctrl+C and SIGTERM stop it cleanly.
#include <unistd.h>

#include <csignal>
#include <cstring>
#include <exception>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "cli/Commands.h"
#include "cli/DriveArgument.h"
#include "cli/Progress.h"
#include "engine/SpaceEraser.h"
#include "platform/Platform.h"
#include "writer/WatermarkFile.h"
#include "writer/WriterDefaults.h"

namespace cli {

namespace {

volatile std::sig_atomic_t g_stopSignal = 0;

void OnStopSignal(int signal) { g_stopSignal = signal; }

// Installs the stop handlers for the life of the command and puts the previous ones back.
class StopSignals {
public:
    StopSignals() {
        g_stopSignal = 0;
        struct sigaction action {};
        action.sa_handler = OnStopSignal;
        sigemptyset(&action.sa_mask);
        sigaction(SIGINT, &action, &previousInt_);
        sigaction(SIGTERM, &action, &previousTerm_);
    }
    ~StopSignals() {
        sigaction(SIGINT, &previousInt_, nullptr);
        sigaction(SIGTERM, &previousTerm_, nullptr);
    }
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

private:
    struct sigaction previousInt_ {};
    struct sigaction previousTerm_ {};
};

void PrintWriteUsage(std::ostream& out) {
    out << "Usage: fvn write (--text TEXT | --file FILE) DRIVE...\n"
           "\n"
           "Writes the watermark, repeated end to end, over the whole free space of each DRIVE\n"
           "through temporary files in its root folder, which are deleted again. Existing files\n"
           "are not touched.\n"
           "\n"
           "  --text TEXT        the watermark text (line breaks become CR LF, as in the writer)\n"
           "  --file FILE        read the watermark from a watermark file (.fvn)\n"
           "  --write-size BYTES bytes per write call (a multiple of 65536; default "
        << RecommendedWriteSize << ")\n"
           "\n"
           "DRIVE is a letter (E or E:) or any path on a mounted volume.\n"
           "Exit status: 0 every drive was marked, 1 a drive failed or the run was stopped,\n"
           "2 bad input (nothing was written).\n";
}

struct Options {
    std::optional<std::string> text;
    std::optional<std::string> file;
    int32_t writeSize = RecommendedWriteSize;
    std::vector<std::string> drives;
};

// Returns false with a message for bad usage.
bool ParseOptions(const Args& args, Options& options, std::string& error) {
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&](const char* name) -> std::optional<std::string> {
            if (i + 1 >= args.size()) {
                error = std::string(name) + " needs a value";
                return std::nullopt;
            }
            return args[++i];
        };
        if (a == "--text") {
            auto v = value("--text");
            if (!v) return false;
            options.text = *v;
        } else if (a == "--file") {
            auto v = value("--file");
            if (!v) return false;
            options.file = *v;
        } else if (a == "--write-size") {
            auto v = value("--write-size");
            if (!v) return false;
            char* end = nullptr;
            const long long n = std::strtoll(v->c_str(), &end, 10);
            if (end == v->c_str() || *end != '\0' || n < 65536 || n > 256LL * 1024 * 1024 || n % 65536 != 0) {
                error = "--write-size must be a multiple of 65536 between 65536 and 268435456";
                return false;
            }
            options.writeSize = static_cast<int32_t>(n);
        } else if (a == "--") {
            options.drives.insert(options.drives.end(), args.begin() + static_cast<long>(i) + 1, args.end());
            break;
        } else if (a.size() > 1 && a[0] == '-' && a.rfind("--", 0) == 0) {
            error = "unknown option " + a;
            return false;
        } else {
            options.drives.push_back(a);
        }
    }
    if (options.text.has_value() == options.file.has_value()) {
        error = "give the watermark with exactly one of --text and --file";
        return false;
    }
    if (options.drives.empty()) {
        error = "name at least one drive";
        return false;
    }
    return true;
}

// The drive's root can be entered now; the reason when it cannot (no medium, no access).
bool DriveReady(char letter, std::string& reason) {
    platform::IPlatform& os = platform::Platform();
    const std::string root = std::string(1, letter) + ":\\";
    const std::string previousFolder = os.GetCurrentDirectory();
    const uint32_t previousMode = os.SetErrorMode(platform::SEM_FAILCRITICALERRORS);
    const bool ok = os.SetCurrentDirectory(root);
    if (!ok) reason = platform::ErrorText(os.GetLastError());
    (void)os.SetCurrentDirectory(previousFolder);
    os.SetErrorMode(previousMode);
    return ok;
}

std::string DriveLabel(char letter) {
    for (const platform::DriveEntry& e : platform::Platform().GetDriveTable())
        if (e.Letter == letter) return std::string(1, letter) + ": (" + e.MountPoint + ")";
    return std::string(1, letter) + ":";
}

std::string Megabytes(int64_t bytes) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f MB", static_cast<double>(bytes) / 1e6);
    return text;
}

}  // namespace

int RunWriteCommand(const Args& args, std::ostream& out, std::ostream& err) {
    for (const std::string& a : args)
        if (a == "--help" || a == "-h") {
            PrintWriteUsage(out);
            return 0;
        }
    Options options;
    std::string error;
    if (!ParseOptions(args, options, error)) {
        err << "fvn write: " << error << "\n";
        PrintWriteUsage(err);
        return 2;
    }

    // Everything the user gave is checked before anything is written.
    std::string watermark;
    try {
        watermark = options.file ? writer::LoadWatermarkFile(*options.file) : writer::NormalizeLineBreaks(*options.text);
    } catch (const std::exception& e) {
        err << "fvn write: " << e.what() << "\n";
        return 2;
    }
    if (watermark.empty() || watermark[0] == '\0') {
        err << "fvn write: the watermark text is empty; nothing was written\n";
        return 2;
    }
    std::vector<char> letters;
    for (const std::string& d : options.drives) {
        const char letter = ResolveDriveArgument(d, error);
        if (letter == 0) {
            err << "fvn write: " << error << "; nothing was written\n";
            return 2;
        }
        std::string reason;
        if (!DriveReady(letter, reason)) {
            err << "fvn write: drive " << letter << ": cannot be used: " << reason << "; nothing was written\n";
            return 2;
        }
        bool seen = false;
        for (char l : letters) seen = seen || l == letter;
        if (!seen) letters.push_back(letter);
    }

    StopSignals stopSignals;
    TSpaceEraser eraser;
    eraser.SetDirectWrites(true);
    eraser.SetUserBufferSize(0);
    eraser.SetWriteSize(options.writeSize);
    TempFileExtension = ".FVNTMP";

    TWipeMethod method;
    method.AddPass()->SetTextPattern(watermark);
    bool ready = false;
    try {
        ready = eraser.SetWipeMethod(&method);
    } catch (const std::exception& e) {
        err << "fvn write: " << e.what() << "\n";
        return 2;
    }
    if (!ready) {
        err << "fvn write: there is not enough memory for the write buffers\n";
        return 1;
    }

    ProgressReporter progress(err, ::isatty(STDERR_FILENO) == 1);
    int64_t freeSpace = 0;
    int64_t written = 0;
    std::vector<std::string> leftovers;
    // A failed operation is retried a few times (a busy device), then the drive is given up:
    // ignoring it, as the writer does without a handler, would report a drive as marked that is not.
    int retries = 0;
    TEraseIOErrors lastOp = IOENoError;
    eraser.OnSpaceWipeStart = [&](TEraser*, char drive, int64_t space) {
        freeSpace = space;
        progress.Start("  " + std::string(1, drive) + ":", eraser.TotalWipeSize());
    };
    eraser.OnShowProgress = [&](TEraser*, int64_t value) {
        written = value;
        progress.Update(value);
        if (g_stopSignal != 0) eraser.SetStopRequested(true);
    };
    eraser.OnIOError = [&](TEraser*, TEraseIOErrors op, const std::string&, int32_t, TErrorHandlingDecision& decision) {
        retries = op == lastOp ? retries + 1 : 0;
        lastOp = op;
        decision = retries < 3 ? dRetry : dSkip;
        if (decision == dRetry) ::usleep(100 * 1000);
    };
    eraser.OnTemporaryDelete = [&](TEraser*, const std::string& name, bool deleted) {
        if (!deleted) leftovers.push_back(name);
    };

    int failures = 0;
    bool stopped = false;
    for (char letter : letters) {
        if (g_stopSignal != 0) {
            stopped = true;
            break;
        }
        freeSpace = -1;
        written = 0;
        retries = 0;
        lastOp = IOENoError;
        err << "Writing the watermark on the free space of drive " << DriveLabel(letter) << "\n";
        bool ok = false;
        try {
            ok = eraser.WipeFreeSpace(letter);
        } catch (const std::exception& e) {
            progress.Finish();
            err << "fvn write: drive " << letter << ": failed: " << e.what() << "\n";
            ++failures;
            continue;
        }
        progress.Finish();
        if (eraser.StopRequested() || g_stopSignal != 0) {
            err << "fvn write: drive " << letter << ": stopped; its temporary files were deleted\n";
            stopped = true;
            break;
        }
        if (!ok) {
            const auto& failure = eraser.LastFailure();
            err << "fvn write: drive " << letter << ": failed: "
                << (failure ? failure->Text() : std::string("the drive could not be written")) << "\n";
            ++failures;
        } else if (freeSpace == 0) {
            out << "Drive " << letter << ": has no free space; nothing to write\n";
        } else if (written == 0) {
            // Free space was reported but not a byte could be put down: not a marked drive.
            err << "fvn write: drive " << letter << ": failed: no data could be written to its free space\n";
            ++failures;
        } else {
            out << "Drive " << letter << ": marked (" << Megabytes(freeSpace) << " of free space covered)\n";
        }
    }
    eraser.ReleaseWipeMethod();

    for (const std::string& name : leftovers)
        err << "fvn write: could not delete the temporary file " << name << " (run 'fvn cleanup')\n";
    if (stopped) {
        err << "fvn write: stopped";
        if (g_stopSignal != 0) err << " by " << (g_stopSignal == SIGINT ? "SIGINT" : "SIGTERM");
        err << "; the watermark may not cover the whole free space\n";
        return 1;
    }
    return failures == 0 && leftovers.empty() ? 0 : 1;
}

}  // namespace cli
