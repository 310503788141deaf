#include "common/PathUtils.h"

namespace common {

bool IsDrivePath(const std::string& path) {
    if (path.size() < 2 || path[1] != ':') return false;
    const char c = path[0];
    if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'))) return false;
    return path.size() == 2 || path[2] == '\\' || path[2] == '/';
}

std::string JoinPath(const std::string& folder, const std::string& name) {
    if (folder.empty()) return name;
    const char last = folder.back();
    if (last == '\\' || last == '/') return folder + name;
    return folder + (IsDrivePath(folder) ? '\\' : '/') + name;
}

}  // namespace common
