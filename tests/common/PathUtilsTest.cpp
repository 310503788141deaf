#include <gtest/gtest.h>

#include "common/PathUtils.h"

TEST(JoinPath, PutsOneSeparatorBetweenFolderAndName) {
    struct {
        const char* folder;
        const char* name;
        const char* expected;
    } cases[] = {
        {"C:\\", "default.fvn", "C:\\default.fvn"},
        {"C:", "x.FVNTMP", "C:\\x.FVNTMP"},
        {"E:\\data", "x", "E:\\data\\x"},
        {"/opt/fvn/bin", "nextrun.dat", "/opt/fvn/bin/nextrun.dat"},
        {"/opt/fvn/bin/", "nextrun.dat", "/opt/fvn/bin/nextrun.dat"},
        {"", "name", "name"},
    };
    for (const auto& c : cases) EXPECT_EQ(common::JoinPath(c.folder, c.name), c.expected) << c.folder;
}

TEST(IsDrivePath, RecognisesLetterColon) {
    EXPECT_TRUE(common::IsDrivePath("E:"));
    EXPECT_TRUE(common::IsDrivePath("e:\\x"));
    EXPECT_TRUE(common::IsDrivePath("E:/x"));
    EXPECT_FALSE(common::IsDrivePath("/mnt/e"));
    EXPECT_FALSE(common::IsDrivePath("1:\\"));
    EXPECT_FALSE(common::IsDrivePath("E:x"));
}
