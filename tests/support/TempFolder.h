#pragma once
// A fresh folder under /tmp for one test, removed with everything in it (read-only entries too).
#include <string>

namespace testsupport {

class TempFolder {
public:
    explicit TempFolder(const std::string& prefix = "fvn-test");
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    // The canonical path (no symbolic links), as the drive table compares mount points.
    [[nodiscard]] const std::string& Path() const { return path_; }
    [[nodiscard]] std::string File(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

}  // namespace testsupport
