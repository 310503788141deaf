#pragma once
#include <string>

namespace cli {

// "E", "E:", "e:\" or "e:/": the form of a drive letter.
[[nodiscard]] bool IsDriveLetterForm(const std::string& argument);

// A drive named on the command line: a letter of a present drive, or any existing path on a
// mounted volume (a folder named like a letter counts as a path when no drive has that letter).
// Returns the upper-case letter, or 0 with the reason in error.
[[nodiscard]] char ResolveDriveArgument(const std::string& argument, std::string& error);

}  // namespace cli
