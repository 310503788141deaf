// fvn drives and fvn cleanup, in-process, over drives of the test's own.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <iostream>
#include <sstream>

#include <QLocale>

#include "WriterTestSupport.h"
#include "cli/Commands.h"

using namespace writertest;

namespace {

class CommandsTest : public ::testing::Test {
protected:
    void SetUp() override {
        // No terminal: the cleanup must not wait for an answer.
        ASSERT_NE(std::freopen("/dev/null", "r", stdin), nullptr);
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    }
    void TearDown() override { QLocale::setDefault(QLocale::system()); }

    std::ostringstream out;
    std::ostringstream err;
};

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

TEST_F(CommandsTest, DrivesPrintsTheWriterRowsAsAnAlignedTable) {
    TTestDrives drives({{'C', platform::DRIVE_FIXED, 1536u << 10}, {'E', platform::DRIVE_REMOVABLE, 3u << 20}});
    ASSERT_EQ(cli::RunDrivesCommand({}, out, err), 0) << err.str();
    const std::vector<std::string> lines = Lines(out.str());
    ASSERT_EQ(lines.size(), 3u) << out.str();
    for (const char* caption : {"Drive", "Name", "Type", "Total Size", "Free Space", "File System", "Mount Point"})
        EXPECT_NE(lines[0].find(caption), std::string::npos) << caption;
    EXPECT_EQ(lines[1].rfind("C:", 0), 0u);
    EXPECT_NE(lines[1].find("EXT4"), std::string::npos);
    EXPECT_NE(lines[1].find(drives.Folder('C')), std::string::npos);
    EXPECT_EQ(lines[2].find("EXT4"), std::string::npos);  // removable: no file system shown
    // Right-aligned sizes end where their caption ends.
    const size_t freeEnd = lines[0].find("Free Space") + std::string("Free Space").size();
    EXPECT_EQ(lines[1].substr(freeEnd - 7, 7), "1.50 MB") << lines[1];
    EXPECT_EQ(lines[2].substr(freeEnd - 7, 7), "3.00 MB") << lines[2];
    EXPECT_EQ(cli::RunDrivesCommand({"--bogus"}, out, err), 2);
}

TEST_F(CommandsTest, CleanupWithoutTerminalListsAndKeeps) {
    TTestDrives drives(std::vector<TDriveSpec>{{'C', platform::DRIVE_FIXED, 0}});
    WriteBytes(drives.Folder('C') + "/0A1B2C3D.FVNTMP", "x");
    EXPECT_EQ(cli::RunCleanupCommand({}, out, err), 1);
    EXPECT_NE(out.str().find("C:\\0A1B2C3D.FVNTMP"), std::string::npos) << out.str();
    EXPECT_NE(out.str().find(drives.Folder('C') + "/0A1B2C3D.FVNTMP"), std::string::npos) << out.str();
    EXPECT_NE(err.str().find("--yes"), std::string::npos) << err.str();
    EXPECT_TRUE(Exists(drives.Folder('C') + "/0A1B2C3D.FVNTMP"));
}

TEST_F(CommandsTest, CleanupYesDeletesAndReportsWhatStays) {
    TTestDrives drives(std::vector<TDriveSpec>{{'C', platform::DRIVE_FIXED, 0}});
    WriteBytes(drives.Folder('C') + "/1.FVNTMP", "x");
    WriteBytes(drives.Folder('C') + "/2.FVNTMP", "x");
    drives.Double().FailCall(platform::TestPlatform::Call::DeleteFile, 2, platform::ERROR_ACCESS_DENIED);
    EXPECT_EQ(cli::RunCleanupCommand({"--yes"}, out, err), 1);
    EXPECT_NE(out.str().find("1 of 2 file(s) deleted."), std::string::npos) << out.str();
    EXPECT_NE(err.str().find("could not delete"), std::string::npos) << err.str();
    EXPECT_EQ(FolderEntries(drives.Folder('C')).size(), 1u);

    out.str("");
    EXPECT_EQ(cli::RunCleanupCommand({"--yes"}, out, err), 0);
    EXPECT_TRUE(FolderEntries(drives.Folder('C')).empty());
    out.str("");
    EXPECT_EQ(cli::RunCleanupCommand({}, out, err), 0);
    EXPECT_EQ(out.str(), "No leftover temporary files found.\n");
}

// On a terminal the command asks; the answer is typed into a pseudo-terminal here.
TEST_F(CommandsTest, CleanupOnATerminalAsksFirst) {
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master, 0);
    ASSERT_EQ(grantpt(master), 0);
    ASSERT_EQ(unlockpt(master), 0);
    const int terminal = open(ptsname(master), O_RDWR | O_NOCTTY);
    ASSERT_GE(terminal, 0);
    const int savedStdin = dup(STDIN_FILENO);
    ASSERT_EQ(dup2(terminal, STDIN_FILENO), STDIN_FILENO);
    auto answer = [&](const char* line) {
        clearerr(stdin);
        std::cin.clear();
        ASSERT_EQ(write(master, line, strlen(line)), static_cast<ssize_t>(strlen(line)));
    };

    TTestDrives drives(std::vector<TDriveSpec>{{'C', platform::DRIVE_FIXED, 0}});
    WriteBytes(drives.Folder('C') + "/1.FVNTMP", "x");
    WriteBytes(drives.Folder('C') + "/2.FVNTMP", "x");
    answer("n\n");
    EXPECT_EQ(cli::RunCleanupCommand({}, out, err), 1);
    EXPECT_NE(err.str().find("Delete 2 leftover temporary file(s)? [y/N]"), std::string::npos) << err.str();
    EXPECT_EQ(FolderEntries(drives.Folder('C')).size(), 2u);
    answer("y\n");
    EXPECT_EQ(cli::RunCleanupCommand({}, out, err), 0);
    EXPECT_TRUE(FolderEntries(drives.Folder('C')).empty());

    dup2(savedStdin, STDIN_FILENO);
    close(savedStdin);
    close(terminal);
    close(master);
}

}  // namespace
