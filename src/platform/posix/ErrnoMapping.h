#pragma once
// The one place where errno values become the Win32 error numbers callers understand.
#include <cstdint>
#include <string>

namespace platform::posix {

// nativePath, when given, is the path the failed call was about: ENOENT then says
// ERROR_PATH_NOT_FOUND when a folder on the way is missing, ERROR_FILE_NOT_FOUND when only the
// last component is.
[[nodiscard]] uint32_t Win32ErrorFromErrno(int error, const std::string& nativePath = {});

}  // namespace platform::posix
