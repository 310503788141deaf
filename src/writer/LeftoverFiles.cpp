#include "writer/LeftoverFiles.h"

#include "common/PathUtils.h"
#include "platform/Platform.h"
#include "writer/WriterDefaults.h"

namespace writer {

void ListFilesByMask(std::vector<std::string>& List, const std::string& Folder, const std::string& Mask) {
    platform::IPlatform& os = platform::Platform();
    platform::FindData data;
    const platform::HANDLE find = os.FindFirstFile(common::JoinPath(Folder, Mask), data);
    if (find == platform::INVALID_HANDLE_VALUE) return;
    // Closes the search also when appending throws.
    struct Closer {
        platform::IPlatform& os;
        platform::HANDLE find;
        ~Closer() { os.FindClose(find); }
    } closer{os, find};
    do {
        if ((data.FileAttributes & platform::FILE_ATTRIBUTE_DIRECTORY) == 0)
            List.push_back(common::JoinPath(Folder, data.FileName));
    } while (os.FindNextFile(find, data));
}

std::vector<std::string> FindLeftoverFiles(const std::vector<std::string>& RootPaths) {
    platform::IPlatform& os = platform::Platform();
    std::vector<std::string> files;
    for (const std::string& root : RootPaths) {
        // Removable, network, CD and RAM drives are left alone: they may be gone or slow.
        if (os.GetDriveType(root) == platform::DRIVE_FIXED) ListFilesByMask(files, root, LeftoverFileMask);
    }
    return files;
}

std::vector<std::string> FindLeftoverFiles() {
    const uint32_t drives = platform::Platform().GetLogicalDrives();
    std::vector<std::string> roots;
    for (int i = 0; i < 26; ++i) {
        if ((drives & (1u << i)) != 0) roots.push_back(std::string(1, static_cast<char>('A' + i)) + ":\\");
    }
    return FindLeftoverFiles(roots);
}

TLeftoverDeletion DeleteLeftoverFiles(const std::vector<std::string>& Files) {
    platform::IPlatform& os = platform::Platform();
    TLeftoverDeletion result;
    for (const std::string& file : Files) {
        if (os.DeleteFile(file)) {
            result.Deleted.push_back(file);
        } else {
            result.Failed.push_back(file);
            result.FailReasons.push_back(platform::ErrorText(os.GetLastError()));
        }
    }
    return result;
}

}  // namespace writer
