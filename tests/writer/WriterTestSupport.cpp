#include "WriterTestSupport.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "FolderDrive.h"

namespace writertest {

namespace fs = std::filesystem;

TTestDrives::TTestDrives(const std::vector<TDriveSpec>& specs) {
    for (const TDriveSpec& wanted : specs) {
        const std::string folder = wanted.MountPoint.empty() ? root_.Path() + "/drive-" + std::string(1, wanted.Letter)
                                                           : wanted.MountPoint;
        if (wanted.MountPoint.empty()) fs::create_directories(folder);
        platform::DriveEntry entry = testsupport::FolderDrive(wanted.Letter, folder, wanted.DriveType, wanted.FileSystem);
        entry.Label = wanted.Label.empty() ? std::string("TEST") + wanted.Letter : wanted.Label;
        entry.DisplayName = entry.Label + " (" + std::string(1, wanted.Letter) + ":) on " + entry.MountPoint;
        table_.push_back(entry);
    }
    backend_ = std::make_unique<platform::PosixPlatform>(table_);
    double_ = std::make_unique<platform::TestPlatform>(*backend_);
    for (size_t i = 0; i < specs.size(); ++i) {
        if (specs[i].Capacity > 0) double_->LimitCapacity(table_[i].MountPoint, specs[i].Capacity);
    }
    scope_ = std::make_unique<platform::ScopedPlatform>(*double_);
}

TTestDrives::~TTestDrives() = default;

std::string TTestDrives::Folder(char letter) const {
    for (const auto& entry : table_) {
        if (entry.Letter == letter) return entry.MountPoint;
    }
    return {};
}

void WriteBytes(const std::string& path, const std::string& bytes) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string ReadBytes(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) return "<missing>";
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

bool Exists(const std::string& path) {
    std::error_code ignored;
    return fs::exists(path, ignored);
}

std::vector<std::string> FolderEntries(const std::string& folder) {
    std::vector<std::string> names;
    std::error_code ignored;
    for (const auto& entry : fs::directory_iterator(folder, ignored)) {
        const std::string name = entry.path().filename().string();
        if (name != "lost+found") names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace writertest
