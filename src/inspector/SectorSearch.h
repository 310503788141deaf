#pragma once
// TSectorSearch: finds a piece of the watermark in a drive's raw sectors, reading overlapping
// chunks through a TDirDisk. Shared by the search dialog and `fvn search`; knows nothing of
// windows: progress and message processing go through the two callbacks.
#include <cstdint>
#include <functional>
#include <span>
#include <string>

#include "inspector/DirectDisk.h"
#include "platform/Platform.h"

namespace inspector {

enum class TSearchDirection { sdForward, sdBackward };

struct TSearchResult {
    // Sector in which the found text begins and the text's offset in it; -1 when not found.
    int64_t FoundSector = -1;
    int32_t FoundOffset = -1;
    bool Cancelled = false;
    // Sectors that could not be read even one by one; they were left out of the search.
    uint32_t UnreadableSectors = 0;
    platform::FailureContext LastReadFailure;
};

class TSectorSearch {
public:
    // With sectors of up to 2,048 bytes a chunk is 128 sectors; larger sectors make a chunk as
    // many as fit the buffers, the overlap staying 2 sectors.
    static constexpr uint32_t ChunkSectors = 128;
    static constexpr uint32_t ChunkOverlap = 2;
    static constexpr uint32_t ChunkStep = ChunkSectors - ChunkOverlap;
    static constexpr uint32_t ProgressInterval = 500;
    static constexpr uint32_t MessageInterval = 200;
    // The window's buffers: 262,145 bytes, highest index 262,144.
    static constexpr size_t BufferBytes = 262145;

    // Reads go to readBuffer and are searched in viewBuffer (both at least one chunk long).
    TSectorSearch(TDirDisk& disk, std::span<uint8_t> readBuffer, std::span<uint8_t> viewBuffer);

    // Raised with the chunk's sector s whenever its step passes a multiple of 500 sectors.
    std::function<void(uint32_t sector)> OnProgress;
    // Raised whenever a chunk's step passes a multiple of 200 sectors; true asks to stop.
    std::function<bool()> OnProcessMessages;

    // Forward: the first occurrence that begins at or after the start of startSector.
    // Backward: the last occurrence (the one whose first byte lies nearest before the end of
    // startSector) among those that end within startSector or before it.
    // An empty text is never found. A start at or beyond TotalSectors searches nothing.
    [[nodiscard]] TSearchResult Run(const std::string& text, uint32_t startSector, TSearchDirection direction);

    // Sets the text and direction of a search and clears the result; Run does it itself.
    void Prepare(const std::string& text, TSearchDirection direction);

    // One chunk of the prepared search: forward the one that starts at s, backward the one that ends at s, cut at the
    // drive's ends. Answers whether the search is to stop (a hit or a cancel).
    [[nodiscard]] bool SearchChunk(uint32_t s);

    [[nodiscard]] const TSearchResult& Result() const { return result_; }
    // Sectors per chunk for a sector size and buffer length; 0 when not even 3 sectors fit.
    [[nodiscard]] static uint32_t SectorsPerChunk(int32_t bytesPerSector, size_t bufferBytes = BufferBytes);
    // Whether lo..hi (inclusive, lo may be negative) holds a multiple of m.
    [[nodiscard]] static bool StepHoldsMultiple(int64_t lo, int64_t hi, uint32_t m);

private:
    // Searches view[begin, end) and answers the hit's offset from the chunk's start, or -1.
    [[nodiscard]] int64_t Find(size_t begin, size_t end) const;

    TDirDisk& disk_;
    std::span<uint8_t> readBuffer_;
    std::span<uint8_t> viewBuffer_;
    std::string text_;
    TSearchDirection direction_ = TSearchDirection::sdForward;
    uint32_t chunkSectors_ = ChunkSectors;
    TSearchResult result_;
};

}  // namespace inspector
