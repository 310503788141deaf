#include "inspector/SectorSearch.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <iterator>
#include <vector>

namespace inspector {

TSectorSearch::TSectorSearch(TDirDisk& disk, std::span<uint8_t> readBuffer, std::span<uint8_t> viewBuffer)
    : disk_(disk), readBuffer_(readBuffer), viewBuffer_(viewBuffer) {}

uint32_t TSectorSearch::SectorsPerChunk(int32_t bytesPerSector, size_t bufferBytes) {
    if (bytesPerSector <= 0) return 0;
    const size_t fit = bufferBytes / static_cast<size_t>(bytesPerSector);
    const uint32_t n = static_cast<uint32_t>(std::min<size_t>(ChunkSectors, fit));
    return n > ChunkOverlap ? n : 0;
}

bool TSectorSearch::StepHoldsMultiple(int64_t lo, int64_t hi, uint32_t m) {
    if (hi < lo) return false;
    // The largest multiple of m not above hi (floor division, also for negative hi).
    const int64_t mm = m;
    const int64_t floorDiv = hi >= 0 ? hi / mm : -((-hi + mm - 1) / mm);
    return floorDiv * mm >= lo;
}

void TSectorSearch::Prepare(const std::string& text, TSearchDirection direction) {
    result_ = TSearchResult{};
    text_ = text;
    direction_ = direction;
    chunkSectors_ = SectorsPerChunk(disk_.BytesPerSector(), std::min(readBuffer_.size(), viewBuffer_.size()));
}

TSearchResult TSectorSearch::Run(const std::string& text, uint32_t startSector, TSearchDirection direction) {
    Prepare(text, direction);
    const uint32_t total = disk_.TotalSectors();
    if (chunkSectors_ == 0) return result_;
    const int64_t step = chunkSectors_ - ChunkOverlap;

    if (direction == TSearchDirection::sdForward) {
        for (int64_t s = startSector; s < total; s += step) {
            if (SearchChunk(static_cast<uint32_t>(s))) break;
        }
    } else if (startSector < total) {
        for (int64_t s = startSector; s >= 0; s -= step) {
            if (SearchChunk(static_cast<uint32_t>(s))) break;
        }
    }
    return result_;
}

bool TSectorSearch::SearchChunk(uint32_t s) {
    bool stop = false;
    if (chunkSectors_ == 0) return true;
    const uint32_t bps = static_cast<uint32_t>(disk_.BytesPerSector());
    const uint32_t total = disk_.TotalSectors();
    const int64_t step = static_cast<int64_t>(chunkSectors_) - ChunkOverlap;
    const bool forward = direction_ == TSearchDirection::sdForward;

    // The chunk's sectors, cut at the ends of the drive.
    uint32_t first = 0;
    uint32_t count = 0;
    if (forward) {
        first = s;
        count = s < total ? std::min(chunkSectors_, total - s) : 0;
    } else {
        const uint32_t last = std::min(s, total - 1);
        first = last + 1 >= chunkSectors_ ? last + 1 - chunkSectors_ : 0;
        count = s < total ? last - first + 1 : 0;
    }

    if (count > 0) {
        const size_t bytes = static_cast<size_t>(count) * bps;
        const uint32_t high = static_cast<uint32_t>(readBuffer_.size() - 1);
        disk_.SetFirstSector(first);
        disk_.SetSectors(count);
        // Runs of readable sectors [begin, end) in bytes from the chunk's start.
        std::vector<std::pair<size_t, size_t>> runs;
        if (disk_.ReadSectors(readBuffer_.data(), high)) {
            std::memcpy(viewBuffer_.data(), readBuffer_.data(), bytes);
            runs.emplace_back(0, bytes);
        } else {
            // Never search what a failed read left behind: take the chunk sector by sector
            // and leave out what cannot be read, so one bad sector hides only itself.
            disk_.SetSectors(1);
            for (uint32_t k = 0; k < count; ++k) {
                const size_t at = static_cast<size_t>(k) * bps;
                disk_.SetFirstSector(first + k);
                if (disk_.ReadSectors(readBuffer_.data() + at, bps - 1)) {
                    std::memcpy(viewBuffer_.data() + at, readBuffer_.data() + at, bps);
                    if (!runs.empty() && runs.back().second == at) {
                        runs.back().second = at + bps;
                    } else {
                        runs.emplace_back(at, at + bps);
                    }
                } else {
                    std::memset(viewBuffer_.data() + at, 0, bps);
                    ++result_.UnreadableSectors;
                    result_.LastReadFailure = disk_.LastFailure();
                }
            }
        }

        int64_t hit = -1;
        if (forward) {
            for (auto it = runs.begin(); it != runs.end() && hit < 0; ++it) hit = Find(it->first, it->second);
        } else {
            for (auto it = runs.rbegin(); it != runs.rend() && hit < 0; ++it) hit = Find(it->first, it->second);
        }
        if (hit >= 0) {
            result_.FoundSector = static_cast<int64_t>(first) + hit / bps;
            result_.FoundOffset = static_cast<int32_t>(hit % bps);
            stop = true;
        }
    }

    // The step this chunk stands for: s .. s+step-1 forward, s-step+1 .. s backward.
    const int64_t lo = forward ? static_cast<int64_t>(s) : static_cast<int64_t>(s) - step + 1;
    const int64_t hi = forward ? static_cast<int64_t>(s) + step - 1 : static_cast<int64_t>(s);
    if (StepHoldsMultiple(lo, hi, ProgressInterval) && OnProgress) OnProgress(s);
    if (StepHoldsMultiple(lo, hi, MessageInterval) && OnProcessMessages) {
        if (OnProcessMessages()) {
            result_.Cancelled = true;
            stop = true;
        }
    }
    return stop;
}

int64_t TSectorSearch::Find(size_t begin, size_t end) const {
    const size_t m = text_.size();
    if (m == 0 || end - begin < m) return -1;
    const char* hay = reinterpret_cast<const char*>(viewBuffer_.data());
    if (direction_ == TSearchDirection::sdForward) {
        const auto it = std::search(hay + begin, hay + end, std::boyer_moore_horspool_searcher(text_.begin(), text_.end()));
        return it == hay + end ? -1 : static_cast<int64_t>(it - hay);
    }
    // The last occurrence: the reversed text in the reversed bytes.
    const std::string reversed(text_.rbegin(), text_.rend());
    const auto rbegin = std::make_reverse_iterator(hay + end);
    const auto rend = std::make_reverse_iterator(hay + begin);
    const auto it = std::search(rbegin, rend, std::boyer_moore_horspool_searcher(reversed.begin(), reversed.end()));
    if (it == rend) return -1;
    return static_cast<int64_t>(end - static_cast<size_t>(it - rbegin) - m);
}

}  // namespace inspector
