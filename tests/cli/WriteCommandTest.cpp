// fvn write in-process, on a temp folder that the test double turns into a small drive T:.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "FolderDrive.h"
#include "TempFolder.h"
#include "cli/Commands.h"
#include "cli/Progress.h"
#include "platform/Platform.h"
#include "platform/posix/PosixPlatform.h"
#include "platform/testing/TestPlatform.h"

namespace fs = std::filesystem;
using platform::TestPlatform;

namespace {

class WriteCommandTest : public ::testing::Test {
protected:
    void SetUp() override {
        backend_ = std::make_unique<platform::PosixPlatform>(
            std::vector<platform::DriveEntry>{testsupport::FolderDrive('T', folder_)});
        double_ = std::make_unique<TestPlatform>(*backend_);
        // A 3 MiB "disk": the fill ends there instead of on the machine's own file system.
        double_->LimitCapacity(folder_, 3u << 20);
        use_ = std::make_unique<platform::ScopedPlatform>(*double_);
        std::ofstream(folder_ + "/keep.txt") << "keep";
    }
    void TearDown() override { use_.reset(); }

    int Write(const cli::Args& args) {
        out_.str("");
        err_.str("");
        return cli::RunWriteCommand(args, out_, err_);
    }

    // Names in the folder besides keep.txt.
    std::vector<std::string> Extra() const {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(folder_))
            if (e.path().filename() != "keep.txt") names.push_back(e.path().filename());
        return names;
    }

    testsupport::TempFolder tmp_{"fvn-cli"};
    const std::string folder_ = tmp_.Path();
    std::unique_ptr<platform::PosixPlatform> backend_;
    std::unique_ptr<TestPlatform> double_;
    std::unique_ptr<platform::ScopedPlatform> use_;
    std::ostringstream out_, err_;
};

TEST_F(WriteCommandTest, FillsTheFreeSpaceAndRemovesItsFiles) {
    for (const cli::Args& args : {cli::Args{"--text", "Jane Example", "T:"}, cli::Args{"--text", "Jane", "t", folder_}}) {
        ASSERT_EQ(Write(args), 0) << err_.str();
        EXPECT_NE(out_.str().find("Drive T: marked"), std::string::npos) << out_.str();
        EXPECT_TRUE(Extra().empty());
        EXPECT_EQ(std::ifstream(folder_ + "/keep.txt").rdbuf() != nullptr, true);
    }
    // Each drive once, even when named twice.
    EXPECT_EQ(out_.str().find("Drive T:"), out_.str().rfind("Drive T:"));
    // Writing went as far as the capacity: 3 MiB less the small file.
    EXPECT_GE(double_->CallCount(TestPlatform::Call::WriteFile), 1);
}

TEST_F(WriteCommandTest, BadInputIsRefusedAndNothingIsWritten) {
    std::ofstream(folder_ + "/empty.fvn").close();
    struct {
        cli::Args args;
        int status;
        const char* message;
    } cases[] = {
        {{"--text", "", "T:"}, 2, "empty"},
        {{"--file", folder_ + "/empty.fvn", "T:"}, 2, "empty"},
        {{"--file", "/nonexistent/owner.fvn", "T:"}, 2, "Cannot open file"},
        {{"--text", "Jane", "Q:"}, 2, "no drive Q:"},
        {{"--text", "Jane", "/nonexistent/folder"}, 2, "neither a drive letter nor an existing path"},
        {{"--text", "Jane"}, 2, "at least one drive"},
        {{"--text", "Jane", "--file", "x.fvn", "T:"}, 2, "exactly one of"},
        {{"--text", "Jane", "--write-size", "1000", "T:"}, 2, "multiple of 65536"},
        {{"--bogus", "T:"}, 2, "unknown option"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Write(c.args), c.status) << c.message;
        EXPECT_NE(err_.str().find(c.message), std::string::npos) << err_.str();
    }
    fs::remove(folder_ + "/empty.fvn");
    EXPECT_TRUE(Extra().empty());
    EXPECT_EQ(double_->CallCount(TestPlatform::Call::WriteFile), 0);
}

TEST_F(WriteCommandTest, DriveWithoutMediumIsRefusedBeforeWriting) {
    double_->FailCall(TestPlatform::Call::SetCurrentDirectory, 1, platform::ERROR_NOT_READY, -1);
    EXPECT_EQ(Write({"--text", "Jane", "T:"}), 2);
    EXPECT_NE(err_.str().find("The device is not ready."), std::string::npos) << err_.str();
    EXPECT_EQ(double_->CallCount(TestPlatform::Call::WriteFile), 0);
}

TEST_F(WriteCommandTest, RootThatCannotBeWrittenIsAFailedDriveWithItsReason) {
    double_->FailCall(TestPlatform::Call::CreateFile, 1, platform::ERROR_ACCESS_DENIED, -1);
    EXPECT_EQ(Write({"--text", "Jane", "T:"}), 1);
    EXPECT_NE(err_.str().find("drive T: failed"), std::string::npos) << err_.str();
    EXPECT_NE(err_.str().find("Access is denied."), std::string::npos) << err_.str();
    EXPECT_EQ(out_.str().find("marked"), std::string::npos) << out_.str();
    EXPECT_TRUE(Extra().empty());
}

TEST_F(WriteCommandTest, WriteErrorsAreNotReportedAsMarked) {
    // Every write fails with an I/O error: retried, then the drive is given up.
    double_->FailCall(TestPlatform::Call::WriteFile, 1, platform::ERROR_IO_DEVICE, -1);
    EXPECT_EQ(Write({"--text", "Jane", "T:"}), 1);
    EXPECT_NE(err_.str().find("writing to file"), std::string::npos) << err_.str();
    EXPECT_TRUE(Extra().empty());
}

TEST(ProgressReporter, LogLinesComeEveryFewSecondsAndTheBarRedrawsInPlace) {
    double now = 100.0;
    std::ostringstream log;
    cli::ProgressReporter plain(log, /*terminal=*/false, [&] { return now; });
    plain.Start("  E:", 1'000'000'000);
    now = 101;
    plain.Update(100'000'000);
    EXPECT_EQ(log.str(), "");  // nothing within the first interval
    now = 105;
    plain.Update(500'000'000);
    EXPECT_EQ(log.str(), "  E: 50% (500 of 1000 MB), 100.0 MB/s, 0:05 left\n");
    now = 110;
    plain.Update(1'000'000'000);
    plain.Finish();
    EXPECT_EQ(log.str().find("100% (1000 of 1000 MB)"), log.str().rfind("100% (1000 of 1000 MB)")) << log.str();

    std::ostringstream tty;
    now = 0;
    cli::ProgressReporter bar(tty, /*terminal=*/true, [&] { return now; });
    bar.Start("  E:", 200);
    now = 2;
    bar.Update(100);
    bar.Finish();
    EXPECT_EQ(tty.str().front(), '\r');
    EXPECT_NE(tty.str().find("[###############...............]  50%"), std::string::npos) << tty.str();
    EXPECT_EQ(tty.str().back(), '\n');
}

TEST(FormatDuration, MinutesAndHours) {
    EXPECT_EQ(cli::FormatDuration(5), "0:05");
    EXPECT_EQ(cli::FormatDuration(3599.4), "59:59");
    EXPECT_EQ(cli::FormatDuration(3600), "1:00:00");
    EXPECT_EQ(cli::FormatDuration(-1), "--:--");
}

}  // namespace
