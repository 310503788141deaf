#pragma once
#include <string>

namespace common {

// Joins a file name to a folder: a separator goes between them unless the folder already ends
// with one. Drive paths ("E:\...") take a backslash, native paths the system's separator.
[[nodiscard]] std::string JoinPath(const std::string& folder, const std::string& name);

// True for "E:", "E:\..." and "e:/...": a path on a drive letter.
[[nodiscard]] bool IsDrivePath(const std::string& path);

}  // namespace common
