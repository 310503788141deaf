#include "cli/DriveArgument.h"

#include <cctype>
#include <sys/stat.h>

#include "platform/Platform.h"

namespace cli {

bool IsDriveLetterForm(const std::string& a) {
    if (a.empty() || !std::isalpha(static_cast<unsigned char>(a[0]))) return false;
    if (a.size() == 1) return true;
    if (a[1] != ':') return false;
    return a.size() == 2 || (a.size() == 3 && (a[2] == '\\' || a[2] == '/'));
}

char ResolveDriveArgument(const std::string& argument, std::string& error) {
    platform::IPlatform& os = platform::Platform();
    if (IsDriveLetterForm(argument)) {
        const char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(argument[0])));
        if ((os.GetLogicalDrives() & (1u << (letter - 'A'))) != 0) return letter;
    }
    struct stat st {};
    if (::stat(argument.c_str(), &st) != 0) {
        error = IsDriveLetterForm(argument)
                    ? "there is no drive " + std::string(1, static_cast<char>(std::toupper(
                                                               static_cast<unsigned char>(argument[0])))) +
                          ": (see 'fvn drives')"
                    : "'" + argument + "' is neither a drive letter nor an existing path";
        return 0;
    }
    const char letter = os.DriveOfPath(argument);
    if (letter == 0) error = "'" + argument + "' is not on a mounted volume (see 'fvn drives')";
    return letter;
}

}  // namespace cli
