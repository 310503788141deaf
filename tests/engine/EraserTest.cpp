#include "engine/BaseEraser.h"

#include <gtest/gtest.h>

#include <fstream>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "EngineTestDrive.h"

namespace {

using namespace enginetest;
using Call = platform::TestPlatform::Call;

// The core on its own: a plain eraser that opens and wipes one file.
class TTestEraser : public TEraser {
public:
    using TEraser::BeginErase;
    using TEraser::OpenFile;
    using TEraser::SetFileName;
    using TEraser::Wipe;
    void SetKind(TEraserKind Kind) { FEraserKind = Kind; }
    [[nodiscard]] std::string GetDescription() const override { return "file " + FileName(); }
};

const std::string Watermark = "Property of Alice, call 555-0100. ";

class EraserTest : public ::testing::Test {
protected:
    void UseText(bool Verify = false) {
        TWipePass* pass = method.AddPass();
        pass->SetTextPattern(Watermark);
        pass->Verify = Verify;
        ASSERT_TRUE(eraser.SetWipeMethod(&method));
    }
    // Opens the file, wipes it from 0 and closes it again; the wipe's result.
    bool WipeFile(int64_t WipeSize) {
        eraser.SetFileName("T:\\wipe.bin");
        const platform::HANDLE h = eraser.OpenFile(platform::CREATE_ALWAYS);
        EXPECT_NE(h, platform::INVALID_HANDLE_VALUE);
        drive.Double().WriteSizes.clear();
        drive.Double().ReadSizes.clear();
        const bool completed = eraser.Wipe(true, WipeSize, 0);
        platform::Platform().CloseHandle(h);
        return completed;
    }
    [[nodiscard]] std::vector<std::string> ProgressEvents() const { return log.Of("Progress"); }

    TTestDrive drive{16 * MiB};
    TTestEraser eraser;
    TWipeMethod method;
    TEventLog log;
};

std::vector<std::string> Progress(std::initializer_list<int64_t> values) {
    std::vector<std::string> out;
    for (int64_t v : values) out.push_back("Progress " + std::to_string(v));
    return out;
}

struct WriteLoopCase {
    int64_t WipeSize;
    int32_t WriteSize;
    std::vector<uint32_t> Writes;
    std::vector<std::string> Progress;
};

TEST_F(EraserTest, WriteLoopCutsTheRegionIntoWriteUnitsAndLaysTheBlockDownUnchanged) {
    const std::vector<WriteLoopCase> cases = {
        {0, 0, {0}, Progress({0})},
        {2 * 65536, 0, {65536, 65536, 0}, Progress({65536, 131072, 131072})},
        {3 * 65536 + 100, 0, {65536, 65536, 65536, 100}, Progress({65536, 131072, 196608, 196708})},
        // Several blocks per call: the same bytes, one progress event per call.
        {9 * 65536 + 100, 4 * 65536, {262144, 262144, 65636}, Progress({262144, 524288, 589924})},
        {3 * 65536 + 100, 4 * 65536 + 1000, {196708}, Progress({196708})},
        {2 * 65536, 100, {65536, 65536, 0}, Progress({65536, 131072, 131072})},  // less than a block: one
    };
    method.AddPass()->SetTextPattern(Watermark);
    for (const WriteLoopCase& c : cases) {
        SCOPED_TRACE(std::to_string(c.WipeSize) + " by " + std::to_string(c.WriteSize));
        eraser.ReleaseWipeMethod();
        eraser.SetWriteSize(c.WriteSize);
        ASSERT_TRUE(eraser.SetWipeMethod(&method));
        EXPECT_EQ(eraser.BufferSize(), 65536);
        log.Lines.clear();
        log.Attach(eraser);
        EXPECT_TRUE(WipeFile(c.WipeSize));
        EXPECT_EQ(drive.Double().WriteSizes, c.Writes);
        EXPECT_EQ(ProgressEvents(), c.Progress);
        EXPECT_EQ(log.Lines.front(), "WipeStart " + std::to_string(c.WipeSize) + " 0");
        EXPECT_EQ(log.Lines.back(), "WipeEnd 1");
        EXPECT_EQ(eraser.Progress(), c.WipeSize);
        EXPECT_EQ(drive.Read("wipe.bin"), ExpectedTextLayout(Watermark, 65536, c.WipeSize));
    }
}

TEST_F(EraserTest, StopRequestedDuringProgressEndsTheWipeRightThere) {
    UseText();
    log.Attach(eraser);
    eraser.OnShowProgress = [&](TEraser* e, int64_t p) {
        log.Lines.push_back("Progress " + std::to_string(p));
        if (p == 131072) e->SetStopRequested(true);
    };
    EXPECT_FALSE(WipeFile(5 * 65536));
    EXPECT_EQ(ProgressEvents(), Progress({65536, 131072}));
    EXPECT_EQ(log.Lines.back(), "WipeEnd 0");
    EXPECT_EQ(drive.Double().WriteSizes.size(), 2u);
    EXPECT_EQ(drive.Double().CallCount(Call::FlushFileBuffers), 0);
    EXPECT_TRUE(eraser.StopRequested());
}

TEST_F(EraserTest, StopRequestGoesThroughOnEraseStopOnlyWhenSettingTrue) {
    int asked = 0;
    bool allow = false;
    eraser.OnEraseStop = [&](TEraser*, bool& AllowStop) {
        ++asked;
        AllowStop = allow;
    };
    eraser.SetStopRequested(true);
    EXPECT_FALSE(eraser.StopRequested());  // refused
    allow = true;
    eraser.SetStopRequested(true);
    EXPECT_TRUE(eraser.StopRequested());
    eraser.SetStopRequested(false);
    EXPECT_FALSE(eraser.StopRequested());
    EXPECT_EQ(asked, 2);
    eraser.OnEraseStop = nullptr;
    eraser.SetStopRequested(true);
    EXPECT_TRUE(eraser.StopRequested());
}

// One failure injected into a wipe of 3 blocks, answered through OnIOError (or by nobody).
struct FailureCase {
    const char* Name;
    Call Op;
    int Nth;
    std::optional<TErrorHandlingDecision> Decision;  // none: no handler
    bool Completed;
    int PassStarts;
    int64_t Progress;
};

TEST_F(EraserTest, FailedWriteSeekOrFlushIsDecidedByTheHandler) {
    const int64_t W = 3 * 65536;
    const std::vector<FailureCase> cases = {
        {"write", Call::WriteFile, 2, std::nullopt, true, 1, W},  // ignored: still counts as written
        {"write", Call::WriteFile, 2, dRetry, true, 1, W},
        {"write", Call::WriteFile, 2, dIgnore, true, 1, W},
        {"write", Call::WriteFile, 2, dSkip, false, 1, 65536},
        {"write", Call::WriteFile, 2, dAbort, false, 1, 65536},
        {"seek", Call::SetFilePointer, 1, std::nullopt, true, 2, W},  // ignored: the pass starts over
        {"seek", Call::SetFilePointer, 1, dRetry, true, 1, W},
        {"seek", Call::SetFilePointer, 1, dIgnore, true, 2, W},
        {"seek", Call::SetFilePointer, 1, dSkip, false, 1, 0},
        {"seek", Call::SetFilePointer, 1, dAbort, false, 1, 0},
        {"flush", Call::FlushFileBuffers, 1, std::nullopt, true, 1, W},
        {"flush", Call::FlushFileBuffers, 1, dRetry, true, 1, W},
        {"flush", Call::FlushFileBuffers, 1, dIgnore, true, 1, W},
        {"flush", Call::FlushFileBuffers, 1, dSkip, false, 1, W},
        {"flush", Call::FlushFileBuffers, 1, dAbort, false, 1, W},
    };
    UseText();
    for (const FailureCase& c : cases) {
        SCOPED_TRACE(std::string(c.Name) + " " + (c.Decision ? std::to_string(*c.Decision) : "unanswered"));
        log.Lines.clear();
        log.Attach(eraser);
        TDecisions decisions;
        eraser.OnIOError = nullptr;
        if (c.Decision) {
            decisions.Attach(eraser);
            // A retry is answered once; the repeated call then succeeds.
            decisions.Answers = {{IOEWriteFile, *c.Decision}, {IOESetFilePointer, *c.Decision},
                                 {IOEFlushBuffers, *c.Decision}};
        }
        (void)eraser.BeginErase();
        eraser.SetFileName("T:\\wipe.bin");
        const platform::HANDLE h = eraser.OpenFile(platform::CREATE_ALWAYS);
        drive.Double().FailCall(c.Op, c.Nth, platform::ERROR_IO_DEVICE);
        EXPECT_EQ(eraser.Wipe(true, W, 0), c.Completed);
        platform::Platform().CloseHandle(h);
        EXPECT_EQ(log.Count("PassStart"), static_cast<size_t>(c.PassStarts));
        EXPECT_EQ(eraser.Progress(), c.Progress);
        EXPECT_EQ(log.Lines.back(), std::string("WipeEnd ") + (c.Completed ? "1" : "0"));
        if (c.Decision) {
            EXPECT_EQ(decisions.Asked.size(), 1u);
            EXPECT_EQ(eraser.LastDecision(), *c.Decision);
        } else {
            EXPECT_EQ(eraser.LastDecision(), dIgnore);
        }
        ASSERT_TRUE(eraser.LastFailure().has_value());
        EXPECT_EQ(eraser.LastFailure()->SysErrorCode, static_cast<int32_t>(platform::ERROR_IO_DEVICE));
        if (c.Completed && c.Op != Call::WriteFile) {
            EXPECT_EQ(drive.Read("wipe.bin"), ExpectedTextLayout(Watermark, 65536, W));
        }
    }
}

TEST_F(EraserTest, FailureIsReportedWithOperationFileAndSystemText) {
    UseText();
    TDecisions decisions;
    decisions.Attach(eraser);
    drive.LimitCapacity(100 * KiB);
    EXPECT_TRUE(WipeFile(3 * 65536));  // ignored: the block after the full one fails as well
    EXPECT_EQ(decisions.Asked, std::vector<std::string>(2, "7 writing to file 112"));
    ASSERT_TRUE(eraser.LastFailure().has_value());
    EXPECT_EQ(eraser.LastFailure()->Text(), "writing to file T:\\wipe.bin: There is not enough space on the disk.");
    EXPECT_EQ(eraser.LastFailure()->Context.Operation, "WriteFile");
    (void)eraser.BeginErase();
    EXPECT_FALSE(eraser.LastFailure().has_value());
}

TEST_F(EraserTest, PositioningFailuresAnsweredIgnoreRestartThePassOnlySoOften) {
    UseText();
    log.Attach(eraser);
    eraser.SetFileName("T:\\wipe.bin");
    const platform::HANDLE h = eraser.OpenFile(platform::CREATE_ALWAYS);
    drive.Double().FailCall(Call::SetFilePointer, 1, platform::ERROR_SEEK, -1);
    EXPECT_FALSE(eraser.Wipe(true, 65536, 0));
    platform::Platform().CloseHandle(h);
    EXPECT_EQ(log.Count("PassStart"), 17u);  // the first start and 16 restarts
    EXPECT_EQ(log.Lines.back(), "WipeEnd 0");
    EXPECT_EQ(drive.Double().CallCount(Call::WriteFile), 0);
}

TEST_F(EraserTest, FullDiskEndsThePassQuietlyOnlyWhenFillingFreeSpace) {
    UseText();
    drive.LimitCapacity(100 * KiB);
    eraser.SetKind(ekFreeSpace);
    eraser.OnIOError = [](TEraser*, TEraseIOErrors, const std::string&, int32_t, TErrorHandlingDecision&) {
        ADD_FAILURE() << "a full disk is no error while filling free space";
    };
    log.Attach(eraser);
    EXPECT_TRUE(WipeFile(4 * 65536));
    // The write that met the full disk still counts the part that fit.
    EXPECT_EQ(ProgressEvents(), Progress({65536, 100 * KiB}));
    EXPECT_EQ(drive.Double().WriteSizes.size(), 2u);
    EXPECT_EQ(drive.Double().CallCount(Call::FlushFileBuffers), 1);
    EXPECT_EQ(drive.Read("wipe.bin").size(), static_cast<size_t>(100 * KiB));
    EXPECT_FALSE(eraser.LastFailure().has_value());
}

struct OpenCase {
    int32_t UserBufferSize;
    bool DirectWrites;
    int32_t WriteSize;
    int32_t BufferSize;
    bool Unbuffered;
    bool WriteThrough;
};

TEST_F(EraserTest, OpensUnbufferedOnlyWhenAskedAndTheBlockIsAWholeNumberOfSectors) {
    const std::vector<OpenCase> cases = {
        {0, true, 0, 65536, true, true},
        {3000, true, 0, 3000, false, false},  // not a whole number of sectors
        {4096, true, 0, 4096, true, true},
        {0, false, 0, 65536, false, false},
        {-5, true, 0, 65536, true, true},  // automatic
        // Several blocks per call: unbuffered, flushed per pass and before closing instead.
        {0, true, 4 * 65536, 65536, true, false},
    };
    method.AddPass();
    for (const OpenCase& c : cases) {
        SCOPED_TRACE(c.UserBufferSize);
        eraser.ReleaseWipeMethod();
        eraser.SetUserBufferSize(c.UserBufferSize);
        eraser.SetDirectWrites(c.DirectWrites);
        eraser.SetWriteSize(c.WriteSize);
        ASSERT_TRUE(eraser.SetWipeMethod(&method));
        EXPECT_EQ(eraser.BufferSize(), c.BufferSize);
        drive.Double().CreateFlags.clear();
        EXPECT_TRUE(WipeFile(10000));
        ASSERT_EQ(drive.Double().CreateFlags.size(), 1u);
        const uint32_t flags = drive.Double().CreateFlags[0];
        const uint32_t direct = platform::FILE_FLAG_NO_BUFFERING | platform::FILE_FLAG_WRITE_THROUGH;
        EXPECT_EQ(flags & ~direct, platform::FILE_FLAG_SEQUENTIAL_SCAN | platform::FILE_ATTRIBUTE_NORMAL);
        EXPECT_EQ((flags & platform::FILE_FLAG_NO_BUFFERING) != 0, c.Unbuffered);
        EXPECT_EQ((flags & platform::FILE_FLAG_WRITE_THROUGH) != 0, c.WriteThrough);
        EXPECT_EQ(drive.Read("wipe.bin"), std::string(10000, '\0'));
    }
}

TEST_F(EraserTest, EveryPassSweepsTheWholeRegionInTurn) {
    method.AddPass()->SetBytePattern(0xAA);
    method.AddPass()->SetTextPattern(Watermark);
    ASSERT_TRUE(eraser.SetWipeMethod(&method));
    log.Attach(eraser);
    int sawFirstPass = 0;
    eraser.OnPassStart = [&](TEraser*, int32_t pass) {
        log.Lines.push_back("PassStart " + std::to_string(pass));
        if (pass == 1) sawFirstPass = drive.Read("wipe.bin") == std::string(70000, '\xAA');
    };
    EXPECT_TRUE(WipeFile(70000));
    EXPECT_EQ(log.Of("PassStart"), (std::vector<std::string>{"PassStart 0", "PassStart 1"}));
    EXPECT_EQ(sawFirstPass, 1);
    EXPECT_EQ(eraser.Progress(), 140000);
    EXPECT_EQ(drive.Double().CallCount(Call::FlushFileBuffers), 2);  // data on the device after each pass
    EXPECT_EQ(drive.Read("wipe.bin"), ExpectedTextLayout(Watermark, 65536, 70000));
}

TEST_F(EraserTest, MethodWithoutPassesCompletesAtOnce) {
    ASSERT_TRUE(eraser.SetWipeMethod(&method));
    log.Attach(eraser);
    EXPECT_TRUE(WipeFile(70000));
    EXPECT_EQ(log.Lines, (std::vector<std::string>{"WipeStart 70000 0", "WipeEnd 1"}));
    EXPECT_TRUE(drive.Double().WriteSizes.empty());
}

TEST_F(EraserTest, NothingHappensBeforeAMethodIsSet) {
    log.Attach(eraser);
    eraser.SetFileName("T:\\wipe.bin");
    EXPECT_EQ(eraser.OpenFile(platform::CREATE_ALWAYS), platform::INVALID_HANDLE_VALUE);
    EXPECT_EQ(eraser.Wipe(true, 100, 0), false);
    EXPECT_EQ(drive.Double().CallCount(Call::CreateFile), 0);
    EXPECT_EQ(drive.Double().CallCount(Call::GetDiskFreeSpace), 0);
    EXPECT_TRUE(log.Lines.empty());
    EXPECT_FALSE(eraser.BeginErase());
}

TEST_F(EraserTest, EmptyTextRaisesAndLeavesTheEraserNotReady) {
    method.AddPass()->SetBytePattern(1);
    method.AddPass()->SetTextPattern("");
    EXPECT_THROW((void)eraser.SetWipeMethod(&method), EEmptyPattern);
    EXPECT_FALSE(eraser.Ready());
    log.Attach(eraser);
    EXPECT_FALSE(eraser.Wipe(true, 100, 0));
    EXPECT_TRUE(log.Lines.empty());

    method.Pass(1)->SetTextPattern("ok");
    EXPECT_TRUE(eraser.SetWipeMethod(&method));  // the failed attempt left nothing held
    EXPECT_TRUE(eraser.Ready());
    eraser.ReleaseWipeMethod();
    EXPECT_FALSE(eraser.Ready());
}

TEST_F(EraserTest, RandomPassDrawsEveryWriteAnew) {
    TWipePass* pass = method.AddPass();
    pass->PatternKind = pkRandom;
    pass->RandomLow = 'a';
    pass->RandomHigh = 'z';
    ASSERT_TRUE(eraser.SetWipeMethod(&method));
    EXPECT_TRUE(WipeFile(2 * 65536));
    const std::string content = drive.Read("wipe.bin");
    ASSERT_EQ(content.size(), 2u * 65536);
    EXPECT_EQ(std::set<char>(content.begin(), content.end()).size(), 26u);
    EXPECT_NE(content.substr(0, 65536), content.substr(65536));
}

// ---- read-back of a verified pass ----

TEST_F(EraserTest, VerifiedPassReadsBackWhatItWrote) {
    struct Case {
        int64_t WipeSize;
        std::vector<uint32_t> Reads;
    };
    const std::vector<Case> cases = {
        {3 * 65536 + 100, {65536, 65536, 65536, 100, 65536}},  // the last read meets the end
        {2 * 65536, {65536, 65536, 0}},                        // the read of no remainder ends it
    };
    UseText(true);
    eraser.SetDirectWrites(false);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.WipeSize);
        log.Lines.clear();
        log.Attach(eraser);
        eraser.OnCRCError = [](TEraser*, int32_t, TErrorHandlingDecision&) { ADD_FAILURE() << "mismatch"; };
        EXPECT_TRUE(WipeFile(c.WipeSize));
        EXPECT_EQ(drive.Double().ReadSizes, c.Reads);
        EXPECT_EQ(eraser.Progress(), 2 * c.WipeSize);
        EXPECT_EQ(log.Count("CRCStart"), 1u);
    }
}

TEST_F(EraserTest, ReadBackMismatchIsDecidedByOnCRCError) {
    struct Case {
        std::optional<TErrorHandlingDecision> Decision;
        bool Completed;
        std::vector<std::string> PassStarts;  // with the progress each one saw
        int64_t Progress;
    };
    const int64_t W = 2 * 65536 + 10;
    const std::vector<Case> cases = {
        {std::nullopt, true, {"0 at 0"}, 2 * W},
        {dIgnore, true, {"0 at 0"}, 2 * W},
        {dRetry, true, {"0 at 0", "0 at 0"}, 2 * W},  // progress drops back, the pass runs again
        {dSkip, false, {"0 at 0"}, W + W},
        {dAbort, false, {"0 at 0"}, W + W},
    };
    UseText(true);
    eraser.SetDirectWrites(false);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Decision ? std::to_string(*c.Decision) : "unanswered");
        std::vector<std::string> passStarts;
        int crcStarts = 0, crcErrors = 0;
        eraser.OnPassStart = [&](TEraser* e, int32_t pass) {
            passStarts.push_back(std::to_string(pass) + " at " + std::to_string(e->Progress()));
        };
        // Someone changes the file between the write and the first read-back.
        eraser.OnCRCStart = [&](TEraser*, int32_t) {
            if (++crcStarts > 1) return;
            std::fstream f(drive.Native("wipe.bin"), std::ios::in | std::ios::out | std::ios::binary);
            f.seekp(70000);
            f.put('#');
        };
        eraser.OnCRCError = nullptr;
        if (c.Decision)
            eraser.OnCRCError = [&](TEraser* e, int32_t pass, TErrorHandlingDecision& d) {
                ++crcErrors;
                EXPECT_EQ(pass, 0);
                EXPECT_EQ(d, dIgnore);
                e->SetStopRequested(true);  // only an abort keeps a stop asked for here
                d = *c.Decision;
            };
        EXPECT_EQ(WipeFile(W), c.Completed);
        EXPECT_EQ(passStarts, c.PassStarts);
        EXPECT_EQ(eraser.Progress(), c.Progress);
        EXPECT_EQ(crcErrors, c.Decision ? 1 : 0);
        EXPECT_EQ(eraser.StopRequested(), c.Decision == dAbort);
    }
}

TEST_F(EraserTest, NothingWrittenOnAFullDiskVerifiesAgainstNothingRead) {
    UseText(true);
    eraser.SetKind(ekFreeSpace);
    drive.LimitCapacity(0);
    log.Attach(eraser);
    eraser.OnCRCError = [](TEraser*, int32_t, TErrorHandlingDecision&) { ADD_FAILURE() << "mismatch"; };
    EXPECT_TRUE(WipeFile(3 * 65536));
    EXPECT_EQ(log.Count("CRCStart"), 1u);
    EXPECT_TRUE(drive.Double().ReadSizes.empty());
    EXPECT_EQ(eraser.Progress(), 0);
}

}  // namespace
