#pragma once
// Temporary fill files that an interrupted run left in the root folders of the fixed drives.
// The wizard offers to delete them at start-up; `fvn cleanup` does the same from a terminal.
#include <string>
#include <vector>

namespace writer {

// Appends the full path of every file (not folder) in Folder whose name matches Mask.
// Hidden and system files count; subfolders are not entered.
void ListFilesByMask(std::vector<std::string>& List, const std::string& Folder, const std::string& Mask);

// The "*.FVNTMP" files in those of the roots ("C:\") that the system reports as fixed drives,
// in the order of the roots.
[[nodiscard]] std::vector<std::string> FindLeftoverFiles(const std::vector<std::string>& RootPaths);

// The same over every present drive, in letter order.
[[nodiscard]] std::vector<std::string> FindLeftoverFiles();

struct TLeftoverDeletion {
    std::vector<std::string> Deleted;
    std::vector<std::string> Failed;       // files that stay, in list order
    std::vector<std::string> FailReasons;  // why, one per entry of Failed
};

// Deletes the files in list order; a file that cannot be deleted is skipped.
[[nodiscard]] TLeftoverDeletion DeleteLeftoverFiles(const std::vector<std::string>& Files);

}  // namespace writer
