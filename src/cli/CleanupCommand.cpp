// fvn cleanup: the writer's start-up offer to delete the temporary fill files that an
// interrupted run left in the root folders of the fixed drives.
#include <unistd.h>

#include <iostream>
#include <map>
#include <string>

#include "cli/Commands.h"
#include "common/PathUtils.h"
#include "platform/Platform.h"
#include "writer/LeftoverFiles.h"

namespace cli {

namespace {

void PrintCleanupUsage(std::ostream& out) {
    out << "Usage: fvn cleanup [--yes]\n"
           "\n"
           "Lists the leftover temporary files (*.FVNTMP) in the root folders of the fixed drives\n"
           "and deletes them after asking. Without a terminal nothing is deleted unless --yes is given.\n"
           "\n"
           "  --yes   delete without asking\n"
           "\n"
           "Exit status: 0 nothing left over, or all deleted; 1 files remain; 2 a usage error.\n";
}

// "C:\1A2B3C4D.FVNTMP" with the native path beside it, so the user finds the file.
std::string Described(const std::string& file, const std::map<char, std::string>& mountPoints) {
    if (file.size() < 3) return file;
    const auto found = mountPoints.find(file[0]);
    if (found == mountPoints.end() || found->second.empty()) return file;
    return file + "  (" + common::JoinPath(found->second, file.substr(3)) + ")";
}

}  // namespace

int RunCleanupCommand(const Args& args, std::ostream& out, std::ostream& err) {
    bool yes = false;
    for (const std::string& a : args) {
        if (a == "--yes" || a == "-y") {
            yes = true;
        } else if (a == "--help" || a == "-h") {
            PrintCleanupUsage(out);
            return 0;
        } else {
            err << "fvn cleanup: unexpected argument '" << a << "'\n";
            PrintCleanupUsage(err);
            return 2;
        }
    }

    std::map<char, std::string> mountPoints;
    for (const platform::DriveEntry& entry : platform::Platform().GetDriveTable())
        mountPoints[entry.Letter] = entry.MountPoint;

    const std::vector<std::string> files = writer::FindLeftoverFiles();
    if (files.empty()) {
        out << "No leftover temporary files found.\n";
        return 0;
    }
    out << "Leftover temporary files:\n";
    for (const std::string& file : files) out << "  " << Described(file, mountPoints) << '\n';

    if (!yes) {
        if (isatty(STDIN_FILENO) == 0) {
            err << "fvn cleanup: nothing deleted; without a terminal, run 'fvn cleanup --yes' to delete "
                << (files.size() == 1 ? "it" : "them") << ".\n";
            return 1;
        }
        err << "Delete " << files.size() << " leftover temporary file(s)? [y/N] " << std::flush;
        std::string answer;
        std::getline(std::cin, answer);
        if (answer != "y" && answer != "Y" && answer != "yes" && answer != "Yes") {
            out << "Nothing deleted.\n";
            return 1;
        }
    }

    const writer::TLeftoverDeletion result = writer::DeleteLeftoverFiles(files);
    for (const std::string& file : result.Deleted) out << "Deleted " << file << '\n';
    for (size_t i = 0; i < result.Failed.size(); ++i)
        err << "fvn cleanup: could not delete " << result.Failed[i] << ": " << result.FailReasons[i] << '\n';
    out << result.Deleted.size() << " of " << files.size() << " file(s) deleted.\n";
    return result.Failed.empty() ? 0 : 1;
}

}  // namespace cli
