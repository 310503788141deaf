#include <gtest/gtest.h>

#include <filesystem>

#include <QSettings>

#include "WriterTestSupport.h"
#include "writer/NextRunDate.h"
#include "writer/PlacementSettings.h"

using namespace writertest;
using writer::NoPlacementValue;

namespace {

TEST(PlacementSettingsTest, ReadsDecimalTextAndTheMarkerForEverythingElse) {
    TTempFolder folder;
    WriteBytes(folder.File("a.ini"),
               "[Options]\nLeft=abc\nTop=40\nWidth=2147483647\nHeight=-1200\n[Other]\nLeft=5\n");
    QSettings settings(QString::fromStdString(folder.File("a.ini")), QSettings::IniFormat);
    const writer::TFormPlacement withSize = writer::ReadFormPlacement(settings, "Options", true);
    EXPECT_EQ(withSize.Left, NoPlacementValue);  // letters
    EXPECT_EQ(withSize.Top, 40);
    EXPECT_EQ(withSize.Width, NoPlacementValue);  // the marker itself
    EXPECT_EQ(withSize.Height, -1200);
    const writer::TFormPlacement positionOnly = writer::ReadFormPlacement(settings, "Options", false);
    EXPECT_EQ(positionOnly.Width, NoPlacementValue);  // not read
    EXPECT_EQ(positionOnly.Height, NoPlacementValue);
    const writer::TFormPlacement missing = writer::ReadFormPlacement(settings, "Missing", true);
    EXPECT_EQ(missing.Left, NoPlacementValue);
    EXPECT_EQ(missing.Top, NoPlacementValue);
    EXPECT_EQ(writer::ReadPlacementValue(settings, "Options", "99999999999"), NoPlacementValue);
}

TEST(PlacementSettingsTest, ValueThatIsNoTextEndsTheRead) {
    TTempFolder folder;
    WriteBytes(folder.File("a.ini"), "[Options]\nLeft=1, 2\nTop=40\n");  // a list, not a string
    QSettings settings(QString::fromStdString(folder.File("a.ini")), QSettings::IniFormat);
    EXPECT_THROW((void)writer::ReadFormPlacement(settings, "Options", false), std::runtime_error);
}

TEST(PlacementSettingsTest, WritesDecimalStringsAndReportsAFailedStore) {
    TTempFolder folder;
    {
        QSettings settings(QString::fromStdString(folder.File("a.ini")), QSettings::IniFormat);
        writer::WriteFormPlacement(settings, "Options", {-1200, 40, 622, 447}, false);
    }
    const std::string stored = ReadBytes(folder.File("a.ini"));
    EXPECT_NE(stored.find("Left=-1200"), std::string::npos) << stored;
    EXPECT_NE(stored.find("Top=40"), std::string::npos) << stored;
    EXPECT_EQ(stored.find("Width"), std::string::npos) << stored;

    std::filesystem::create_directories(folder.File("dir.ini"));  // cannot be written as a file
    QSettings broken(QString::fromStdString(folder.File("dir.ini")), QSettings::IniFormat);
    EXPECT_THROW(writer::WriteFormPlacement(broken, "Options", {1, 2, 3, 4}, false), std::runtime_error);
}

TEST(PlacementSettingsTest, WindowOffEveryScreenIsPulledBack) {
    const QRect primary(0, 0, 1280, 1024);
    const QRect leftOfPrimary(-1280, 0, 1280, 1024);
    struct Case {
        QRect frame;
        std::vector<QRect> screens;
        QPoint expected;
    };
    const Case cases[] = {
        {{100, 100, 622, 447}, {primary}, {100, 100}},
        {{-1200, 40, 622, 447}, {primary, leftOfPrimary}, {-1200, 40}},  // on the second monitor
        {{-1200, 40, 622, 447}, {primary}, {0, 40}},                     // that monitor is gone
        {{5000, 3000, 622, 447}, {primary}, {1280 - 622, 1024 - 447}},
        {{-500, 40, 622, 447}, {primary}, {-500, 40}},  // partly off, still grabbable
        {{100, -40, 622, 447}, {primary}, {100, 0}},    // title bar above the screen
    };
    for (const Case& c : cases) EXPECT_EQ(writer::PullOntoScreens(c.frame, c.screens), c.expected) << c.frame.x();
}

TEST(NextRunDateTest, SevenCalendarDaysAheadOnThreeLines) {
    using namespace std::chrono;
    const std::pair<year_month_day, const char*> cases[] = {
        {2024y / February / 25, "2024\r\n3\r\n3\r\n"},  // the leap day counts
        {2023y / December / 28, "2024\r\n1\r\n4\r\n"},
        {2023y / February / 25, "2023\r\n3\r\n4\r\n"},
        {2024y / March / 27, "2024\r\n4\r\n3\r\n"},  // across the change to summer time
    };
    for (const auto& [start, text] : cases) EXPECT_EQ(writer::NextRunDateText(start), text);
}

TEST(NextRunDateTest, FileIsRewrittenNextToTheProgram) {
    using namespace std::chrono;
    TTestDrives drives{{}};
    TTempFolder folder;
    WriteBytes(folder.File("nextrun.dat"), "an older and much longer content\r\n");
    writer::WriteNextRunDate(folder.Path(), 2024y / February / 25);
    EXPECT_EQ(ReadBytes(folder.File("nextrun.dat")), "2024\r\n3\r\n3\r\n");
    EXPECT_THROW(writer::WriteNextRunDate(folder.File("missing"), 2024y / February / 25), std::runtime_error);
}

}  // namespace
