// The chunked sector search on raw images of the test's own (opened by path: 512-byte sectors,
// as many as the file holds), read through the test double to count and fail reads.
#include <gtest/gtest.h>

#include <memory>

#include "InspectorImages.h"
#include "inspector/DirectDisk.h"
#include "inspector/SectorSearch.h"
#include "platform/posix/PosixPlatform.h"
#include "platform/testing/TestPlatform.h"

using inspector::TDirDisk;
using inspector::TSearchDirection;
using inspector::TSearchResult;
using inspector::TSectorSearch;
using platform::TestPlatform;
using namespace inspectortest;

namespace {

constexpr TSearchDirection kForward = TSearchDirection::sdForward;
constexpr TSearchDirection kBackward = TSearchDirection::sdBackward;

uint64_t At(uint64_t sector, uint64_t offset) { return sector * 512 + offset; }

class SectorSearchTest : public ::testing::Test {
protected:
    // An image of `sectors` zero sectors with texts at chosen bytes, opened by path.
    void MakeDisk(uint32_t sectors, const std::vector<std::pair<uint64_t, std::string>>& texts,
                  const std::vector<uint8_t>& bootSector = {}) {
        image_ = tmp_.File("disk.img");
        ASSERT_TRUE(MakeImage(image_, static_cast<uint64_t>(sectors) * 512));
        if (!bootSector.empty()) {
            ASSERT_TRUE(WriteAt(image_, 0, bootSector.data(), bootSector.size()));
        }
        for (const auto& [offset, text] : texts) ASSERT_TRUE(WriteAt(image_, offset, text));
        disk_ = std::make_unique<TDirDisk>(os_);
        disk_->SetDevicePath(image_);
        ASSERT_GT(disk_->TotalSectors(), 0u);
        search_ = std::make_unique<TSectorSearch>(*disk_, std::span<uint8_t>(read_), std::span<uint8_t>(view_));
        search_->OnProgress = [this](uint32_t s) { progress_.push_back(s); };
        search_->OnProcessMessages = [this] {
            polls_.push_back(disk_->FirstSector());
            return cancelAtPoll_ > 0 && static_cast<int>(polls_.size()) >= cancelAtPoll_;
        };
        os_.Reset();
    }
    TSearchResult Run(const std::string& text, uint32_t start, TSearchDirection direction = kForward) {
        progress_.clear();
        polls_.clear();
        os_.Reset();
        return search_->Run(text, start, direction);
    }
    int Reads() const { return os_.CallCount(TestPlatform::Call::ReadVolume); }

    TempFolder tmp_;
    platform::PosixPlatform posix_{std::vector<platform::DriveEntry>{}};
    TestPlatform os_{posix_};
    std::string image_;
    std::unique_ptr<TDirDisk> disk_;
    std::vector<uint8_t> read_ = std::vector<uint8_t>(TSectorSearch::BufferBytes);
    std::vector<uint8_t> view_ = std::vector<uint8_t>(TSectorSearch::BufferBytes);
    std::unique_ptr<TSectorSearch> search_;
    std::vector<uint32_t> progress_;
    std::vector<uint32_t> polls_;
    int cancelAtPoll_ = 0;
};

struct HitCase {
    const char* name;
    std::string text;
    uint32_t start;
    TSearchDirection direction;
    int64_t wantSector;
    int32_t wantOffset;
};

TEST_F(SectorSearchTest, FindsWhereTheTextBegins) {
    // 1,000 sectors: the watermark twice, a text across a sector boundary, one that begins in
    // the last two sectors of the first chunk and runs past it, and an upper-case word.
    MakeDisk(1000, {{At(300, 67), "Quillmore Ferrovane"},
                    {At(420, 3), "Quillmore Ferrovane"},
                    {At(10, 508), "ACROSS-BOUNDARY"},
                    {At(127, 500), "BEGINS IN SECTOR 127 AND RUNS INTO 128"},
                    {At(126, 505), "SECTOR 126 INTO 127 AND 128 ...................................."},
                    {At(600, 0), "WATERMARK"}});
    const HitCase cases[] = {
        {"a word", "Ferrovane", 0, kForward, 300, 77},
        {"the first hit at or after the start", "Quillmore", 301, kForward, 420, 3},
        {"across a sector boundary", "ACROSS-BOUNDARY", 0, kForward, 10, 508},
        {"past the chunk's end: the next chunk", "BEGINS IN SECTOR 127 AND RUNS INTO 128", 0, kForward, 127, 500},
        {"in the overlap: the earlier chunk", "SECTOR 126 INTO 127 AND 128", 0, kForward, 126, 505},
        {"case matters", "watermark", 0, kForward, -1, -1},
        {"upper case as written", "WATERMARK", 0, kForward, 600, 0},
        {"an empty text", "", 0, kForward, -1, -1},
        {"start beyond the end", "Quillmore", 1000, kForward, -1, -1},
        // Backward: the occurrence nearest before the end of the start sector.
        {"backward: the nearer of two", "Quillmore", 999, kBackward, 420, 3},
        {"backward: passes over later ones", "Quillmore", 419, kBackward, 300, 67},
        {"backward: ending in the start sector", "ACROSS-BOUNDARY", 11, kBackward, 10, 508},
        {"backward: not when it runs past the start sector", "ACROSS-BOUNDARY", 10, kBackward, -1, -1},
        {"backward: an empty text", "", 999, kBackward, -1, -1},
    };
    for (const HitCase& c : cases) {
        SCOPED_TRACE(c.name);
        const TSearchResult r = Run(c.text, c.start, c.direction);
        EXPECT_EQ(r.FoundSector, c.wantSector);
        EXPECT_EQ(r.FoundOffset, c.wantOffset);
        EXPECT_FALSE(r.Cancelled);
        EXPECT_EQ(r.UnreadableSectors, 0u);
    }
}

TEST_F(SectorSearchTest, BackwardTakesTheLastOccurrenceInAChunk) {
    MakeDisk(300, {{At(40, 10), "MARK"}, {At(41, 10), "MARK"}, {At(41, 200), "MARK"}});
    const TSearchResult r = Run("MARK", 299, kBackward);
    EXPECT_EQ(r.FoundSector, 41);
    EXPECT_EQ(r.FoundOffset, 200);
    // Chunks end at 299 (172..299) and 173 (46..173), then 47 (0..47) holds the hits.
    EXPECT_EQ(Reads(), 3);
}

TEST_F(SectorSearchTest, ChunksOf128SectorsStep126AndAreCutAtTheEnd) {
    MakeDisk(1000, {{At(999, 500), "LAST"}});
    // An empty text is never found: the whole drive is read, chunk by chunk.
    EXPECT_EQ(Run("", 0).FoundSector, -1);
    EXPECT_EQ(Reads(), 8);  // 0, 126, ..., 882
    // Forward from the last sector: one chunk, cut to that one sector.
    EXPECT_EQ(Run("LAST", 999).FoundSector, 999);
    EXPECT_EQ(Reads(), 1);
    // A chunk that would run past the end is read up to the end, in one read.
    EXPECT_EQ(Run("LAST", 950).FoundSector, 999);
    EXPECT_EQ(Reads(), 1);
}

TEST_F(SectorSearchTest, ProgressEvery500AndMessagesEvery200Sectors) {
    MakeDisk(2000, {});
    (void)Run("absent", 0);
    // Chunks start at 0, 126, 252, ...: progress when a step s..s+125 holds a multiple of 500.
    EXPECT_EQ(progress_, (std::vector<uint32_t>{0, 378, 882, 1386, 1890}));
    EXPECT_EQ(polls_, (std::vector<uint32_t>{0, 126, 378, 504, 756, 882, 1134, 1386, 1512, 1764, 1890}));

    // An odd start: the first chunk (1..126) holds no multiple of 500.
    (void)Run("absent", 1);
    EXPECT_EQ(progress_, (std::vector<uint32_t>{379, 883, 1387, 1891}));
    EXPECT_EQ(polls_.front(), 127u);

    // Backward the steps mirror: 1999..1874 holds no multiple of 200 or 500, 1873..1748 holds 1800.
    (void)Run("absent", 1999, kBackward);
    EXPECT_EQ(progress_, (std::vector<uint32_t>{1621, 1117, 613, 109}));
    EXPECT_EQ(polls_.front(), 1746u) << "the chunk 1746..1873";
}

TEST_F(SectorSearchTest, CancelStopsAtTheNextMessageStep) {
    MakeDisk(2000, {{At(1500, 0), "LATE"}});
    cancelAtPoll_ = 2;
    const TSearchResult r = Run("LATE", 0);
    EXPECT_TRUE(r.Cancelled);
    EXPECT_EQ(r.FoundSector, -1);
    EXPECT_EQ(Reads(), 2) << "chunks 0 and 126; the second poll asked to stop";
}

TEST_F(SectorSearchTest, AFailedChunkIsReadSectorBySectorNotSearchedStale) {
    MakeDisk(400, {{At(5, 0), "NEEDLE"}, {At(200, 100), "SECOND"}});
    // The first search leaves the chunk 0..127, with NEEDLE at byte 2,560, in the buffers.
    ASSERT_EQ(Run("NEEDLE", 0).FoundSector, 5);

    // From 126 on the chunk cannot be read (its device does not open), which leaves the
    // buffers as they were; their old contents must not give a hit at 131.
    os_.Reset();
    progress_.clear();
    os_.FailCall(TestPlatform::Call::OpenVolume, 1, platform::ERROR_NOT_READY);
    TSearchResult r = search_->Run("NEEDLE", 126, kForward);
    EXPECT_EQ(r.FoundSector, -1);
    EXPECT_EQ(r.UnreadableSectors, 0u) << "every sector could be read on its own";

    // A bad sector is left out and the rest of its chunk still searched.
    os_.Reset();
    os_.FailCall(TestPlatform::Call::ReadVolume, 1, platform::ERROR_CRC);       // the chunk 126..253
    os_.FailCall(TestPlatform::Call::ReadVolume, 2 + 74, platform::ERROR_CRC);  // then sector 200
    r = search_->Run("SECOND", 126, kForward);
    EXPECT_EQ(r.FoundSector, -1) << "the text lies in the unreadable sector";
    EXPECT_EQ(r.UnreadableSectors, 1u);
    EXPECT_EQ(r.LastReadFailure.Error, platform::ERROR_CRC);

    os_.Reset();
    os_.FailCall(TestPlatform::Call::ReadVolume, 1, platform::ERROR_CRC);
    os_.FailCall(TestPlatform::Call::ReadVolume, 2 + 73, platform::ERROR_CRC);  // sector 199
    r = search_->Run("SECOND", 126, kForward);
    EXPECT_EQ(r.FoundSector, 200);
    EXPECT_EQ(r.FoundOffset, 100);
    EXPECT_EQ(r.UnreadableSectors, 1u);
}

TEST_F(SectorSearchTest, LargeSectorsMakeSmallerChunks) {
    EXPECT_EQ(TSectorSearch::SectorsPerChunk(512), 128u);
    EXPECT_EQ(TSectorSearch::SectorsPerChunk(2048), 128u);
    EXPECT_EQ(TSectorSearch::SectorsPerChunk(4096), 64u);
    EXPECT_EQ(TSectorSearch::SectorsPerChunk(65536), 4u);
    EXPECT_EQ(TSectorSearch::SectorsPerChunk(131072), 0u);

    // A volume of 300 sectors of 4,096 bytes: chunks of 64 sectors (262,144 bytes) at 0, 62,
    // 124, 186; the text at sector 200 is found in the fourth.
    std::vector<uint8_t> boot = BootSector(4096, 1, 300, 0);
    MakeDisk(300 * 8, {{200ull * 4096 + 4000, "BIG SECTORS TEXT"}}, boot);
    ASSERT_EQ(disk_->BytesPerSector(), 4096);
    ASSERT_EQ(disk_->TotalSectors(), 300u);
    const TSearchResult r = Run("BIG SECTORS TEXT", 0);
    EXPECT_EQ(r.FoundSector, 200);
    EXPECT_EQ(r.FoundOffset, 4000);
    EXPECT_EQ(Reads(), 4);
    EXPECT_EQ(r.UnreadableSectors, 0u);
}

}  // namespace
