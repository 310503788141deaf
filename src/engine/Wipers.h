#pragma once
// Wipe passes and methods: what the eraser writes over its target, and the exact rule by
// which a pass fills a buffer. The text rule decides how the watermark lies on the disk, so
// the inspector's search can find it there.
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

enum TPatternKind : uint8_t { pkByte, pkText, pkRandom };

// Raised when a text pass has nothing to repeat.
class EEmptyPattern : public std::runtime_error {
public:
    EEmptyPattern() : std::runtime_error("The text of a wipe pass is empty.") {}
};

class TWipePass {
public:
    TPatternKind PatternKind = pkByte;
    uint8_t FillByte = 0x00;
    uint8_t RandomLow = 0;
    uint8_t RandomHigh = 0;
    std::string Text;
    bool Verify = false;

    void SetBytePattern(uint8_t Value);
    void SetTextPattern(const std::string& Text);
    // Index 0 is RandomLow, 1 is RandomHigh, anything else 0.
    [[nodiscard]] uint8_t RandomBound(int32_t Index) const;

    // Size bytes of Text repeated end to end; the tail that holds no whole copy is spaces
    // for texts longer than 3 bytes and a prefix of the text otherwise. Raises EEmptyPattern
    // when Text holds no byte before its first NUL.
    void FillText(uint8_t* Buffer, int32_t Size) const;
    // Size fresh bytes drawn from RandomLow..RandomHigh.
    void FillRandom(uint8_t* Buffer, int32_t Size) const;
};

// Owns its passes.
class TWipePassList {
public:
    [[nodiscard]] int32_t Count() const { return static_cast<int32_t>(Items_.size()); }
    // Null outside 0..Count-1.
    [[nodiscard]] TWipePass* Items(int32_t Index) const;
    TWipePass* Add(std::unique_ptr<TWipePass> Pass);

private:
    std::vector<std::unique_ptr<TWipePass>> Items_;
};

class TWipeMethod {
public:
    TWipePassList Passes;

    // A new pkByte 0x00 pass, appended and owned by the method.
    TWipePass* AddPass();
    [[nodiscard]] int32_t PassCount() const { return Passes.Count(); }
    // Null when Index is negative or not below PassCount.
    [[nodiscard]] TWipePass* Pass(int32_t Index) const { return Passes.Items(Index); }
    // Sweeps over the target: a verified pass counts twice (write, read back).
    [[nodiscard]] int32_t TotalPassCount() const;
};

// The process-wide pseudo-random generator behind temporary names and random passes.
void RandomizeFromClock();
void SeedRandom(uint32_t Seed);
// Uniform in 0..Range-1; 0 when Range is 0.
[[nodiscard]] uint32_t RandomBelow(uint32_t Range);
