#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>

#include "WriterTestSupport.h"
#include "writer/LeftoverFiles.h"

using namespace writertest;

namespace {

TEST(LeftoverFilesTest, OnlyFilesInFixedRootsAreFound) {
    TTestDrives drives({{'C', platform::DRIVE_FIXED, 0}, {'E', platform::DRIVE_REMOVABLE, 0}});
    const std::string c = drives.Folder('C');
    WriteBytes(c + "/0A1B2C3D.FVNTMP", "x");
    WriteBytes(c + "/.hidden.FVNTMP", "x");    // hidden files count
    WriteBytes(c + "/7F000000.fvntmp", "x");   // names compare without letter case
    WriteBytes(c + "/keep.txt", "x");
    std::filesystem::create_directories(c + "/folder.FVNTMP");  // a folder is no leftover
    std::filesystem::create_directories(c + "/sub");
    WriteBytes(c + "/sub/11111111.FVNTMP", "x");  // subfolders are not searched
    WriteBytes(drives.Folder('E') + "/22222222.FVNTMP", "x");

    std::vector<std::string> found = writer::FindLeftoverFiles();
    std::sort(found.begin(), found.end());
    EXPECT_EQ(found, (std::vector<std::string>{"C:\\.hidden.FVNTMP", "C:\\0A1B2C3D.FVNTMP", "C:\\7F000000.fvntmp"}));
}

TEST(LeftoverFilesTest, ListFilesByMaskAppendsAndClosesTheSearch) {
    TTestDrives drives(std::vector<TDriveSpec>{{'C', platform::DRIVE_FIXED, 0}});
    WriteBytes(drives.Folder('C') + "/A.FVNTMP", "x");
    std::vector<std::string> list{"already there"};
    writer::ListFilesByMask(list, "C:\\", "*.FVNTMP");
    writer::ListFilesByMask(list, "C:\\nowhere", "*.FVNTMP");
    EXPECT_EQ(list, (std::vector<std::string>{"already there", "C:\\A.FVNTMP"}));
    EXPECT_EQ(drives.Double().CallCount(platform::TestPlatform::Call::FindFirstFile), 2);
}

TEST(LeftoverFilesTest, ReadOnlyFileIsSkippedAndTheOthersDeleted) {
    TTestDrives drives(std::vector<TDriveSpec>{{'C', platform::DRIVE_FIXED, 0}});
    const std::string c = drives.Folder('C');
    WriteBytes(c + "/1.FVNTMP", "x");
    WriteBytes(c + "/2.FVNTMP", "x");
    WriteBytes(c + "/3.FVNTMP", "x");
    ASSERT_EQ(chmod((c + "/2.FVNTMP").c_str(), 0444), 0);

    const writer::TLeftoverDeletion result =
        writer::DeleteLeftoverFiles({"C:\\1.FVNTMP", "C:\\2.FVNTMP", "C:\\3.FVNTMP"});
    EXPECT_EQ(result.Deleted, (std::vector<std::string>{"C:\\1.FVNTMP", "C:\\3.FVNTMP"}));
    EXPECT_EQ(result.Failed, (std::vector<std::string>{"C:\\2.FVNTMP"}));
    ASSERT_EQ(result.FailReasons.size(), 1u);
    EXPECT_FALSE(result.FailReasons[0].empty());
    EXPECT_EQ(FolderEntries(c), (std::vector<std::string>{"2.FVNTMP"}));
}

}  // namespace
