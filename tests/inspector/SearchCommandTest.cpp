// fvn search, in process, on image files of the test's own and on a drive table that holds
// only them.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "InspectorImages.h"
#include "cli/Commands.h"
#include "platform/posix/PosixPlatform.h"

using namespace inspectortest;

namespace {

class SearchCommandTest : public ::testing::Test {
protected:
    void SetUp() override {
        image_ = tmp_.File("disk.img");
        ASSERT_TRUE(MakeImage(image_, 1000 * 512));
        ASSERT_TRUE(WriteAt(image_, 300 * 512 + 67, "Quillmore Ferrovane"));
        ASSERT_TRUE(WriteAt(image_, 420 * 512 + 3, "Quillmore Ferrovane"));
        posix_ = std::make_unique<platform::PosixPlatform>(std::vector<platform::DriveEntry>{
            Drive('E', tmp_.Path(), image_), Drive('F', tmp_.Path(), tmp_.File("missing.img"))});
        scoped_ = std::make_unique<platform::ScopedPlatform>(*posix_);
        // The image under a one-letter name in the current folder.
        ASSERT_TRUE(std::filesystem::exists(tmp_.Path()));
        std::filesystem::create_hard_link(image_, tmp_.File("m"));
        previousFolder_ = std::filesystem::current_path();
        std::filesystem::current_path(tmp_.Path());
    }
    void TearDown() override { std::filesystem::current_path(previousFolder_); }
    int Run(const cli::Args& args) {
        out_.str("");
        err_.str("");
        return cli::RunSearchCommand(args, out_, err_);
    }

    TempFolder tmp_;
    std::string image_;
    std::unique_ptr<platform::PosixPlatform> posix_;
    std::unique_ptr<platform::ScopedPlatform> scoped_;
    std::ostringstream out_, err_;
    std::filesystem::path previousFolder_;
};

TEST_F(SearchCommandTest, FindsPrintsAndExits) {
    struct Case {
        cli::Args args;
        int wantStatus;
        std::string wantOut;
    };
    const Case cases[] = {
        {{"Ferrovane", image_}, 0, "found at sector 300, offset 77 (byte 153677)\n"},
        {{"--from", "301", "Quillmore", image_}, 0, "found at sector 420, offset 3 (byte 215043)\n"},
        {{"--from=301", "Quillmore", image_}, 0, "found at sector 420, offset 3 (byte 215043)\n"},
        {{"--backward", "Quillmore", image_}, 0, "found at sector 420, offset 3 (byte 215043)\n"},
        {{"--backward", "--from", "419", "Quillmore", image_}, 0, "found at sector 300, offset 67 (byte 153667)\n"},
        {{"ferrovane", image_}, 1, "not found\n"},
        {{"--from", "421", "Quillmore", image_}, 1, "not found\n"},
        // A letter, and a folder on the drive, stand for the drive's volume.
        {{"Ferrovane", "E"}, 0, "found at sector 300, offset 77 (byte 153677)\n"},
        {{"Ferrovane", "e:"}, 0, "found at sector 300, offset 77 (byte 153677)\n"},
        {{"Ferrovane", tmp_.Path()}, 0, "found at sector 300, offset 77 (byte 153677)\n"},
        {{"--", "--from", image_}, 1, "not found\n"},
        // A one-letter name that is no drive's letter is the file or folder of that name.
        {{"Ferrovane", "m"}, 0, "found at sector 300, offset 77 (byte 153677)\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.args));
        EXPECT_EQ(Run(c.args), c.wantStatus) << err_.str();
        EXPECT_EQ(out_.str(), c.wantOut);
    }
}

TEST_F(SearchCommandTest, UsageErrorsAndUnreadableVolumesExit2WithTheReason) {
    struct Case {
        cli::Args args;
        std::string wantInErr;
    };
    const Case cases[] = {
        {{}, "give the TEXT and the VOLUME"},
        {{"Ferrovane"}, "give the TEXT and the VOLUME"},
        {{"--from", "Ferrovane", image_}, "is not a sector number"},
        {{"--from", "-1", "Ferrovane", image_}, "is not a sector number"},
        {{"--from"}, "--from needs a sector number"},
        {{"--fast", "Ferrovane", image_}, "unknown option '--fast'"},
        {{"", image_}, "the TEXT is empty"},
        {{"--from", "1000", "Ferrovane", image_}, "sector 1000 is beyond the last sector (999)"},
        {{"Ferrovane", tmp_.File("nothing.img")}, "neither a drive letter nor an existing path"},
        {{"Ferrovane", "Q"}, "there is no drive Q:"},
        {{"Ferrovane", "F:"}, "cannot read drive F: (OpenVolume"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.args));
        EXPECT_EQ(Run(c.args), 2);
        EXPECT_EQ(out_.str(), "");
        EXPECT_NE(err_.str().find(c.wantInErr), std::string::npos) << err_.str();
    }
    EXPECT_EQ(Run({"--help"}), 0);
    EXPECT_NE(out_.str().find("Usage: fvn search [--from SECTOR] [--backward] TEXT VOLUME"), std::string::npos);
}

}  // namespace
