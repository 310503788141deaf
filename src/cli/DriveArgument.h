#pragma once
#include <string>

namespace cli {

// A drive named on the command line: a letter ("E", "E:", "e:\") or any existing path on a
// mounted volume. Returns the upper-case letter, or 0 with the reason in error.
[[nodiscard]] char ResolveDriveArgument(const std::string& argument, std::string& error);

}  // namespace cli
