#include "engine/Wipers.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "engine/CRC32.h"

namespace {

std::string Filled(const std::string& text, int32_t size) {
    TWipePass pass;
    pass.SetTextPattern(text);
    std::string buffer(static_cast<size_t>(size), '\x01');
    pass.FillText(reinterpret_cast<uint8_t*>(buffer.data()), size);
    return buffer;
}

std::string Repeat(const std::string& s, size_t times) {
    std::string out;
    for (size_t i = 0; i < times; ++i) out += s;
    return out;
}

struct FillCase {
    std::string Text;
    std::string Expected;  // the 512 bytes
};

TEST(WipePass, FillTextLaysCopiesEndToEndWithTheTailRule) {
    const std::string long600(600, 'x');
    const std::vector<FillCase> cases = {
        {"Alice", Repeat("Alice", 102) + "  "},         // 510 bytes, 2 spaces
        {"AB", Repeat("AB", 256)},                      // divides 512: no tail
        {"ABC", Repeat("ABC", 170) + "AB"},             // short text: tail is its prefix
        {"Z", std::string(512, 'Z')},                   //
        {long600, std::string(512, ' ')},               // longer than the block: spaces only
        {std::string("Bob\0junk", 8), Repeat("Bob", 170) + "Bo"},  // cut at the NUL
    };
    for (const FillCase& c : cases) {
        SCOPED_TRACE(c.Text.substr(0, 12));
        EXPECT_EQ(Filled(c.Text, 512), c.Expected);
    }
}

TEST(WipePass, EmptyTextCannotFillABuffer) {
    EXPECT_THROW(Filled("", 512), EEmptyPattern);
    EXPECT_THROW(Filled(std::string("\0abc", 4), 512), EEmptyPattern);
}

TEST(WipePass, DefaultsAndPatternSetters) {
    TWipePass pass;
    EXPECT_EQ(pass.PatternKind, pkByte);
    EXPECT_EQ(pass.FillByte, 0);
    EXPECT_FALSE(pass.Verify);
    pass.FillByte = 7;
    pass.SetTextPattern("hi");
    EXPECT_EQ(pass.PatternKind, pkText);
    EXPECT_EQ(pass.FillByte, 7);  // a text pattern leaves the byte alone
    pass.SetBytePattern(0x55);
    EXPECT_EQ(pass.PatternKind, pkByte);
    EXPECT_EQ(pass.FillByte, 0x55);
    EXPECT_TRUE(pass.Text.empty());
    pass.RandomLow = 3;
    pass.RandomHigh = 9;
    EXPECT_EQ(pass.RandomBound(0), 3);
    EXPECT_EQ(pass.RandomBound(1), 9);
    EXPECT_EQ(pass.RandomBound(2), 0);
    EXPECT_EQ(pass.RandomBound(-1), 0);
}

TEST(WipePass, FillRandomStaysWithinItsBounds) {
    TWipePass pass;
    pass.PatternKind = pkRandom;
    std::vector<uint8_t> buffer(4096, 0xEE);
    pass.FillRandom(buffer.data(), 4096);
    EXPECT_EQ(std::set<uint8_t>(buffer.begin(), buffer.end()), std::set<uint8_t>{0});  // default bounds: zeros

    pass.RandomLow = 'a';
    pass.RandomHigh = 'd';
    buffer.assign(4096, 0xEE);
    pass.FillRandom(buffer.data(), 4000);
    const std::set<uint8_t> seen(buffer.begin(), buffer.begin() + 4000);
    EXPECT_EQ(seen, (std::set<uint8_t>{'a', 'b', 'c', 'd'}));
    EXPECT_EQ(buffer[4000], 0xEE);  // only the bytes asked for
}

TEST(WipeMethod, PassesByIndexAndTotalPassCount) {
    TWipeMethod empty;
    EXPECT_EQ(empty.PassCount(), 0);
    EXPECT_EQ(empty.TotalPassCount(), 0);
    EXPECT_EQ(empty.Pass(0), nullptr);

    TWipeMethod method;
    TWipePass* first = method.AddPass();
    EXPECT_EQ(method.Pass(0), first);
    EXPECT_EQ(method.Pass(-1), nullptr);
    EXPECT_EQ(method.Pass(method.PassCount()), nullptr);
    first->Verify = true;
    EXPECT_EQ(method.TotalPassCount(), 2);  // one verified pass: write and read back
    first->Verify = false;
    method.AddPass();
    EXPECT_EQ(method.PassCount(), 2);
    EXPECT_EQ(method.TotalPassCount(), 2);
}

TEST(CRC32, StandardCheckValueWhateverTheSplit) {
    const std::string data = "123456789";
    uint32_t whole = CRC32Init();
    CRC32Update(whole, data.data(), 9);
    EXPECT_EQ(CRC32Final(whole), 0xCBF43926u);

    uint32_t split = CRC32Init();
    CRC32Update(split, data.data(), 4);
    CRC32Update(split, data.data() + 4, 0);
    CRC32Update(split, data.data() + 4, -1);  // nothing
    CRC32Update(split, data.data() + 4, 5);
    EXPECT_EQ(CRC32Final(split), 0xCBF43926u);
    EXPECT_EQ(CRC32Final(CRC32Init()), 0u);
}

}  // namespace
