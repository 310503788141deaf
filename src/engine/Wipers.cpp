#include "engine/Wipers.h"

#include <chrono>
#include <cstring>
#include <random>

namespace {
std::mt19937& Generator() {
    static std::mt19937 generator(5489u);
    return generator;
}
}  // namespace

void RandomizeFromClock() {
    const auto ticks = std::chrono::high_resolution_clock::now().time_since_epoch().count();
    Generator().seed(static_cast<uint32_t>(ticks ^ (ticks >> 32)));
}

void SeedRandom(uint32_t Seed) { Generator().seed(Seed); }

uint32_t RandomBelow(uint32_t Range) {
    if (Range == 0) return 0;
    return std::uniform_int_distribution<uint32_t>(0, Range - 1)(Generator());
}

void TWipePass::SetBytePattern(uint8_t Value) {
    PatternKind = pkByte;
    FillByte = Value;
    Text.clear();
}

void TWipePass::SetTextPattern(const std::string& Value) {
    PatternKind = pkText;
    Text = Value;
}

uint8_t TWipePass::RandomBound(int32_t Index) const {
    switch (Index) {
    case 0: return RandomLow;
    case 1: return RandomHigh;
    default: return 0;
    }
}

void TWipePass::FillText(uint8_t* Buffer, int32_t Size) const {
    const size_t nul = Text.find('\0');
    const size_t L = nul == std::string::npos ? Text.size() : nul;
    if (L == 0) throw EEmptyPattern();
    if (Size <= 0) return;
    const size_t B = static_cast<size_t>(Size);
    const size_t copies = B / L;
    for (size_t i = 0; i < copies; ++i) std::memcpy(Buffer + i * L, Text.data(), L);
    const size_t R = B % L;
    // Short texts stay a seamless repetition cut at the buffer's end; longer ones get a
    // neutral tail so no broken copy of the watermark is laid down.
    if (L > 3)
        std::memset(Buffer + copies * L, ' ', R);
    else
        std::memcpy(Buffer + copies * L, Text.data(), R);
}

void TWipePass::FillRandom(uint8_t* Buffer, int32_t Size) const {
    const uint8_t low = RandomLow <= RandomHigh ? RandomLow : RandomHigh;
    const uint8_t high = RandomLow <= RandomHigh ? RandomHigh : RandomLow;
    const uint32_t range = static_cast<uint32_t>(high - low) + 1;
    for (int32_t i = 0; i < Size; ++i) Buffer[i] = static_cast<uint8_t>(low + RandomBelow(range));
}

TWipePass* TWipePassList::Items(int32_t Index) const {
    if (Index < 0 || Index >= Count()) return nullptr;
    return Items_[static_cast<size_t>(Index)].get();
}

TWipePass* TWipePassList::Add(std::unique_ptr<TWipePass> Pass) {
    Items_.push_back(std::move(Pass));
    return Items_.back().get();
}

TWipePass* TWipeMethod::AddPass() { return Passes.Add(std::make_unique<TWipePass>()); }

int32_t TWipeMethod::TotalPassCount() const {
    int32_t total = 0;
    for (int32_t i = 0; i < PassCount(); ++i) {
        const TWipePass* pass = Pass(i);
        if (pass != nullptr) total += pass->Verify ? 2 : 1;
    }
    return total;
}
