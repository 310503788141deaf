#include "TempFolder.h"

#include <stdlib.h>

#include <filesystem>
#include <stdexcept>

namespace testsupport {

namespace fs = std::filesystem;

TempFolder::TempFolder(const std::string& prefix) {
    std::string pattern = "/tmp/" + prefix + "-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed for " + pattern);
    path_ = fs::canonical(pattern).string();
}

TempFolder::~TempFolder() {
    std::error_code ignored;
    // Tests leave read-only files behind on purpose; give every entry its write bit back first.
    for (auto it = fs::recursive_directory_iterator(path_, ignored); it != fs::recursive_directory_iterator();
         it.increment(ignored))
        fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ignored);
    fs::remove_all(path_, ignored);
}

}  // namespace testsupport
