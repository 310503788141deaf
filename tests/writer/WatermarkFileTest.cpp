#include <gtest/gtest.h>

#include <QString>

#include "WriterTestSupport.h"
#include "writer/WatermarkFile.h"
#include "writer/WatermarkText.h"

using namespace writertest;

namespace {

class WatermarkFileTest : public ::testing::Test {
protected:
    TTestDrives drives{{}};  // the real file system under a backend of the test's own
    TTempFolder folder;
};

TEST_F(WatermarkFileTest, LoadNormalisesLineBreaksAndStopsAtNul) {
    struct Case {
        std::string bytes;
        std::string text;
    };
    const Case cases[] = {
        {"A\nB\rC", "A\r\nB\r\nC"},
        {"A\r\nB", "A\r\nB"},
        {"A\n\rB", "A\r\n\r\nB"},  // LF then CR: two line breaks
        {"end\r", "end\r\n"},
        {std::string("abc\0more\ntext", 13), "abc"},
        {"", ""},
    };
    for (const Case& c : cases) {
        WriteBytes(folder.File("w.fvn"), c.bytes);
        EXPECT_EQ(writer::LoadWatermarkFile(folder.File("w.fvn")), c.text) << "bytes: " << c.bytes;
    }
}

TEST_F(WatermarkFileTest, TwoTypedLinesSaveAsEighteenBytesAndLoadBack) {
    const std::string text = writer::WatermarkFromBoxText(QStringLiteral("Jane Doe\n555-0100"));
    ASSERT_EQ(text, "Jane Doe\r\n555-0100");
    ASSERT_EQ(text.size(), 18u);
    writer::SaveWatermarkFile(folder.File("w.fvn"), text);
    EXPECT_EQ(ReadBytes(folder.File("w.fvn")), text);
    EXPECT_EQ(writer::LoadWatermarkFile(folder.File("w.fvn")), text);
    EXPECT_EQ(writer::BoxTextFromWatermark(text), QStringLiteral("Jane Doe\n555-0100"));
}

TEST_F(WatermarkFileTest, SavedTextComesBackByteForByte) {
    const std::string texts[] = {"", "x", "Ann \xC3\x85str\xC3\xB6m\r\n\r\nphone\r\n", std::string(100000, 'q')};
    for (const std::string& text : texts) {
        writer::SaveWatermarkFile(folder.File("w.fvn"), text);
        EXPECT_EQ(ReadBytes(folder.File("w.fvn")), text);
        EXPECT_EQ(writer::LoadWatermarkFile(folder.File("w.fvn")), text);
    }
    // Saving over a longer file truncates it.
    writer::SaveWatermarkFile(folder.File("w.fvn"), "short");
    EXPECT_EQ(ReadBytes(folder.File("w.fvn")), "short");
}

TEST_F(WatermarkFileTest, FailuresNameTheFileAndTheReason) {
    const std::string missing = folder.File("none.fvn");
    try {
        (void)writer::LoadWatermarkFile(missing);
        FAIL() << "no error";
    } catch (const writer::EWatermarkFileError& e) {
        const std::string prefix = "Cannot open file \"" + missing + "\". ";
        EXPECT_EQ(std::string(e.what()).rfind(prefix, 0), 0u) << e.what();
        EXPECT_GT(std::string(e.what()).size(), prefix.size());
    }
    const std::string noFolder = folder.File("no/such/folder/w.fvn");
    try {
        writer::SaveWatermarkFile(noFolder, "text");
        FAIL() << "no error";
    } catch (const writer::EWatermarkFileError& e) {
        EXPECT_EQ(std::string(e.what()).rfind("Cannot create file \"" + noFolder + "\". ", 0), 0u) << e.what();
    }
    drives.Double().FailCall(platform::TestPlatform::Call::WriteFile, 1, platform::ERROR_DISK_FULL);
    try {
        writer::SaveWatermarkFile(folder.File("w.fvn"), "text");
        FAIL() << "no error";
    } catch (const writer::EWatermarkFileError& e) {
        EXPECT_STREQ(e.what(), "Stream write error");
    }
}

TEST(WatermarkTextTest, BoxTextBecomesCrLfLinesWithoutAddedBreak) {
    EXPECT_EQ(writer::WatermarkFromBoxText(QString()), "");
    EXPECT_EQ(writer::WatermarkFromBoxText(QStringLiteral("a\n")), "a\r\n");
    EXPECT_EQ(writer::WatermarkFromBoxText(QStringLiteral("a") + QChar(QChar::ParagraphSeparator) + "b"), "a\r\nb");
    EXPECT_EQ(writer::WatermarkFromBoxText(QString::fromUtf8("\xC3\x85")), "\xC3\x85");  // local 8-bit: UTF-8
}

}  // namespace
