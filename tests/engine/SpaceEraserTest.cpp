#include "engine/SpaceEraser.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <optional>
#include <regex>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "EngineTestDrive.h"

namespace {

using namespace enginetest;
using Call = platform::TestPlatform::Call;

// Pieces of 1 MiB instead of 2 GiB, so a few MiB of capacity make several of them.
class TTestSpaceEraser : public TSpaceEraser {
public:
    TTestSpaceEraser() { SetPieceLimit(PieceLimit); }
    static constexpr int64_t PieceLimit = MiB;
};

const std::string Watermark = "Owner: Bob Example, bob@example.org ";

TEST(PlanPieces, CutsTheFreeSpaceIntoPiecesBelowTwoGiB) {
    struct Case {
        int64_t FreeSpace;
        std::vector<int64_t> Sizes;  // SizeOf(1..PieceCount)
    };
    const std::vector<Case> cases = {
        {100 * MiB, {104'857'600}},
        {5'000'000'000, {2'145'386'496, 2'145'386'496, 709'227'008}},
        {2 * MaxPieceSize, {MaxPieceSize, MaxPieceSize, 0}},  // the third is never made
        {MaxPieceSize - 1, {MaxPieceSize - 1}},
    };
    EXPECT_EQ(MaxPieceSize, 0x7FE00000);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.FreeSpace);
        const TPiecePlan plan = PlanPieces(c.FreeSpace);
        std::vector<int64_t> sizes;
        for (int32_t n = 1; n <= plan.PieceCount; ++n) sizes.push_back(plan.SizeOf(n));
        EXPECT_EQ(sizes, c.Sizes);
        EXPECT_EQ(plan.LastPieceSize, c.Sizes.back());
    }
}

class SpaceEraserTest : public ::testing::Test {
protected:
    void SetUp() override {
        TempFileExtension = ".FVNTMP";
        method.AddPass()->SetTextPattern(Watermark);
        ASSERT_TRUE(eraser.SetWipeMethod(&method));
        log.Attach(eraser);
    }
    void TearDown() override {
        eraser.ReleaseWipeMethod();
        TempFileExtension = ".TMP";
    }
    // Names left in the drive's root by the run.
    [[nodiscard]] std::vector<std::string> Leftovers() const { return drive.Files(); }

    TTestDrive drive{4 * MiB};
    TWipeMethod method;
    TTestSpaceEraser eraser;
    TEventLog log;
};

TEST_F(SpaceEraserTest, FillsTheFreeSpaceWithPiecesAndDeletesThemAll) {
    struct Case {
        int64_t Capacity;
        std::vector<std::string> Creates;
    };
    const std::vector<Case> cases = {
        {5 * MiB / 2, {"Create 1048576 1 3", "Create 1048576 2 3", "Create 524288 3 3"}},
        {2 * MiB, {"Create 1048576 1 3", "Create 1048576 2 3"}},  // a whole number of pieces
        {100 * KiB, {"Create 102400 1 1"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Capacity);
        drive.LimitCapacity(static_cast<uint64_t>(c.Capacity));
        log = TEventLog();
        log.Attach(eraser);
        std::vector<std::string> contentOk;
        eraser.OnWipeEnd = [&](TEraser* e, bool completed) {
            log.Lines.push_back(std::string("WipeEnd ") + (completed ? "1" : "0"));
            contentOk.push_back(drive.Read(e->FileName()) ==
                                        ExpectedTextLayout(Watermark, 65536, static_cast<int64_t>(
                                                                                 drive.Read(e->FileName()).size()))
                                    ? "ok"
                                    : "bad");
        };
        EXPECT_TRUE(eraser.WipeFreeSpace('T'));
        EXPECT_EQ(log.Lines.front(), "SpaceStart T " + std::to_string(c.Capacity));
        EXPECT_EQ(log.Of("Create"), c.Creates);
        EXPECT_EQ(log.Of("Delete"), std::vector<std::string>(c.Creates.size(), "Delete 1"));
        EXPECT_EQ(log.Deleted, log.Created);  // in the order made
        EXPECT_EQ(contentOk, std::vector<std::string>(c.Creates.size(), "ok"));
        EXPECT_EQ(log.Lines.back(), "SpaceEnd T 1");
        EXPECT_EQ(eraser.Progress(), c.Capacity);
        EXPECT_EQ(eraser.TotalWipeSize(), c.Capacity);
        EXPECT_TRUE(Leftovers().empty());
        EXPECT_EQ(eraser.FileName(), log.Created.back());
        for (uint32_t disposition : drive.Double().CreateDispositions) EXPECT_EQ(disposition, platform::CREATE_NEW);
    }
}

TEST_F(SpaceEraserTest, TemporaryNamesAreEightHexDigitsWithTheExtension) {
    drive.LimitCapacity(5 * MiB / 2);
    EXPECT_TRUE(eraser.WipeFreeSpace('T'));
    const std::regex shape(R"(T:\\[0-7][0-9A-F]{7}\.FVNTMP)");
    ASSERT_EQ(log.Created.size(), 3u);
    for (const std::string& name : log.Created) EXPECT_TRUE(std::regex_match(name, shape)) << name;
    EXPECT_EQ(std::set<std::string>(log.Created.begin(), log.Created.end()).size(), 3u);
}

TEST_F(SpaceEraserTest, ADrawnNameThatExistsIsDrawnAgain) {
    SeedRandom(42);
    const std::string first = eraser.UniqueTempFileName("T:\\", ".FVNTMP");
    drive.Write(first, "theirs");
    SeedRandom(42);
    const int finds = drive.Double().CallCount(Call::FindFirstFile);
    const std::string second = eraser.UniqueTempFileName("T:\\", ".FVNTMP");
    EXPECT_NE(second, first);
    EXPECT_EQ(drive.Double().CallCount(Call::FindFirstFile) - finds, 2);
}

TEST_F(SpaceEraserTest, NameTakenBetweenDrawAndCreateIsLeftAloneAndAnotherDrawn) {
    drive.LimitCapacity(100 * KiB);
    std::string theirs;
    eraser.OnTemporaryCreate = [&](TEraser*, const std::string& name, int64_t, int32_t, int32_t) {
        log.Created.push_back(name);
        if (theirs.empty()) {
            theirs = name;
            drive.Write(name, "another program's file");
        }
    };
    TDecisions decisions;
    decisions.Attach(eraser);
    EXPECT_TRUE(eraser.WipeFreeSpace('T'));
    ASSERT_EQ(log.Created.size(), 2u);
    EXPECT_EQ(log.Deleted, std::vector<std::string>{log.Created[1]});
    EXPECT_EQ(drive.Read(theirs), "another program's file");
    EXPECT_EQ(Leftovers().size(), 1u);
    EXPECT_TRUE(decisions.Asked.empty());
    EXPECT_FALSE(eraser.LastFailure().has_value());
}

TEST_F(SpaceEraserTest, NamesTakenAgainAndAgainEndTheDriveSaySo) {
    drive.Double().FailCall(Call::CreateFile, 1, platform::ERROR_FILE_EXISTS, 100);
    EXPECT_FALSE(eraser.WipeFreeSpace('T'));
    EXPECT_EQ(log.Count("Create"), 100u);
    EXPECT_EQ(log.Count("Delete"), 0u);
    EXPECT_EQ(log.Lines.back(), "SpaceEnd T 0");
    ASSERT_TRUE(eraser.LastFailure().has_value());
    EXPECT_EQ(eraser.LastFailure()->Operation, IOECreateFile);
    EXPECT_EQ(eraser.LastFailure()->SysErrorCode, 80);
}

TEST_F(SpaceEraserTest, NoFreeSpaceMakesNoFileAndNoEndEvent) {
    drive.LimitCapacity(0);
    EXPECT_TRUE(eraser.WipeFreeSpace('T'));
    EXPECT_EQ(log.Lines, std::vector<std::string>{"SpaceStart T 0"});
    EXPECT_EQ(drive.Double().CallCount(Call::CreateFile), 0);
}

TEST_F(SpaceEraserTest, DriveThatCannotBeUsedEndsAtOnceAndSaysWhy) {
    struct Case {
        const char* Name;
        char Drive;
        std::function<void(TTestDrive&)> Arrange;
        std::string Failure;
        std::vector<std::string> Events;
    };
    const std::vector<Case> cases = {
        {"no such drive", 'Q', [](TTestDrive&) {}, "accessing drive Q:\\: The system cannot find the path specified.",
         {}},
        {"root not enterable", 'T',
         [](TTestDrive& d) { d.Double().FailCall(Call::SetCurrentDirectory, 1, platform::ERROR_NOT_READY); },
         "accessing drive T:\\: The device is not ready.", {}},
        {"free space unknown", 'T',
         [](TTestDrive& d) { d.Double().FailCall(Call::GetDiskFreeSpaceEx, 1, platform::ERROR_ACCESS_DENIED); },
         "accessing drive T:\\: Access is denied.", {}},
        {"root refuses the file", 'T',
         [](TTestDrive& d) { d.Double().FailCall(Call::CreateFile, 1, platform::ERROR_ACCESS_DENIED); },
         "opening file T:\\*: Access is denied.",
         {"SpaceStart T 4194304", "Create 1048576 1 5", "Delete 0", "SpaceEnd T 0"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        log = TEventLog();
        log.Attach(eraser);
        c.Arrange(drive);
        EXPECT_FALSE(eraser.WipeFreeSpace(c.Drive));
        EXPECT_EQ(log.Lines, c.Events);
        ASSERT_TRUE(eraser.LastFailure().has_value());
        std::string text = eraser.LastFailure()->Text();
        // The drawn name after "T:\" (8 digits and ".FVNTMP") stands as "*" in the expectation.
        if (!log.Created.empty()) text.replace(text.find(log.Created[0]) + 3, 15, "*");
        EXPECT_EQ(text, c.Failure);
        EXPECT_TRUE(Leftovers().empty());
    }
}

// The real refusal through the POSIX backend: a root folder the user may enter but not write.
TEST_F(SpaceEraserTest, RootWithoutWritePermissionFailsTheDrive) {
    ASSERT_EQ(::chmod(drive.Folder().c_str(), 0555), 0);
    std::string failure;
    if (::geteuid() == 0) {
        // Root writes anywhere: run the drive as an unprivileged user in a child process.
        int pipeFds[2];
        ASSERT_EQ(::pipe(pipeFds), 0);
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            ::close(pipeFds[0]);
            bool ok = ::setgid(65534) == 0 && ::setuid(65534) == 0;
            ok = ok && !eraser.WipeFreeSpace('T');
            const std::string text = ok && eraser.LastFailure() ? eraser.LastFailure()->Text() : "unexpected";
            (void)!::write(pipeFds[1], text.data(), text.size());
            ::_exit(0);
        }
        ::close(pipeFds[1]);
        char buffer[512];
        ssize_t n;
        while ((n = ::read(pipeFds[0], buffer, sizeof buffer)) > 0) failure.append(buffer, static_cast<size_t>(n));
        ::close(pipeFds[0]);
        int status = 0;
        ::waitpid(child, &status, 0);
    } else {
        EXPECT_FALSE(eraser.WipeFreeSpace('T'));
        ASSERT_TRUE(eraser.LastFailure().has_value());
        failure = eraser.LastFailure()->Text();
    }
    ::chmod(drive.Folder().c_str(), 0700);
    EXPECT_TRUE(std::regex_match(failure, std::regex(R"(opening file T:\\[0-9A-F]{8}\.FVNTMP: Access is denied\.)")))
        << failure;
    EXPECT_TRUE(Leftovers().empty());
}

TEST_F(SpaceEraserTest, StopDuringTheSecondPieceDeletesWhatWasMade) {
    drive.LimitCapacity(5 * MiB / 2);
    eraser.OnShowProgress = [&](TEraser*, int64_t) {
        if (eraser.PieceNo() == 2) eraser.SetStopRequested(true);
    };
    EXPECT_FALSE(eraser.WipeFreeSpace('T'));
    EXPECT_EQ(log.Count("Create"), 2u);
    EXPECT_EQ(log.Of("Delete"), (std::vector<std::string>{"Delete 1", "Delete 1"}));
    EXPECT_EQ(log.Lines.back(), "SpaceEnd T 0");
    EXPECT_TRUE(eraser.StopRequested());
    EXPECT_TRUE(Leftovers().empty());
    EXPECT_EQ(drive.Double().CallCount(Call::CloseHandle), 2);
}

// Large write calls are not written through one by one, so a piece that ends early is
// flushed before it is closed and deleted: what was written stays on the disk.
TEST_F(SpaceEraserTest, StoppedPieceWrittenInLargeCallsIsFlushedBeforeItIsDeleted) {
    eraser.ReleaseWipeMethod();
    eraser.SetWriteSize(4 * 65536);
    ASSERT_TRUE(eraser.SetWipeMethod(&method));
    drive.LimitCapacity(5 * MiB / 2);
    std::vector<Call> calls;
    drive.Double().OnCall = [&](Call c) {
        if (c == Call::FlushFileBuffers || c == Call::CloseHandle || c == Call::DeleteFile) calls.push_back(c);
    };
    eraser.OnShowProgress = [&](TEraser*, int64_t) {
        if (eraser.PieceNo() == 2) eraser.SetStopRequested(true);
    };
    EXPECT_FALSE(eraser.WipeFreeSpace('T'));
    drive.Double().OnCall = nullptr;
    // Piece 1: flushed after its pass and before closing; piece 2, stopped: before closing.
    EXPECT_EQ(calls, (std::vector<Call>{Call::FlushFileBuffers, Call::FlushFileBuffers, Call::CloseHandle,
                                        Call::FlushFileBuffers, Call::CloseHandle, Call::DeleteFile,
                                        Call::DeleteFile}));
    EXPECT_TRUE(Leftovers().empty());
}

TEST_F(SpaceEraserTest, DiskThatFillsUpEarlyStillEndsTheDriveWell) {
    struct Case {
        const char* Name;
        uint64_t ShrinkTo;  // capacity once the free space was measured
    };
    const std::vector<Case> cases = {{"in the middle of a piece", 3 * MiB / 2}, {"on the first write", 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        drive.LimitCapacity(5 * MiB / 2);
        log = TEventLog();
        log.Attach(eraser);
        eraser.OnSpaceWipeStart = [&](TEraser*, char, int64_t) { drive.LimitCapacity(c.ShrinkTo); };
        eraser.OnIOError = [](TEraser*, TEraseIOErrors, const std::string&, int32_t, TErrorHandlingDecision&) {
            ADD_FAILURE() << "a full disk is the expected end";
        };
        EXPECT_TRUE(eraser.WipeFreeSpace('T'));
        EXPECT_EQ(log.Count("Create"), 3u);  // the later pieces are made and fail at once
        EXPECT_EQ(log.Of("Delete"), std::vector<std::string>(3, "Delete 1"));
        EXPECT_EQ(log.Of("WipeEnd"), std::vector<std::string>(3, "WipeEnd 1"));
        EXPECT_EQ(log.Lines.back(), "SpaceEnd T 1");
        EXPECT_EQ(eraser.Progress(), static_cast<int64_t>(c.ShrinkTo / 65536 * 65536));
        EXPECT_TRUE(Leftovers().empty());
        EXPECT_FALSE(eraser.LastFailure().has_value());
    }
}

TEST_F(SpaceEraserTest, DiskTooFullToCreateTheNextPieceEndsTheDriveFalse) {
    drive.LimitCapacity(5 * MiB / 2);
    TDecisions decisions;
    decisions.Attach(eraser);
    drive.Double().FailCall(Call::CreateFile, 2, platform::ERROR_DISK_FULL);
    EXPECT_FALSE(eraser.WipeFreeSpace('T'));
    EXPECT_EQ(log.Count("Create"), 2u);
    // The name of the piece that could not be made is still tried.
    EXPECT_EQ(log.Of("Delete"), (std::vector<std::string>{"Delete 1", "Delete 0"}));
    EXPECT_EQ(decisions.Asked, std::vector<std::string>{"12 deleting file 2"});
    EXPECT_EQ(log.Lines.back(), "SpaceEnd T 0");
    ASSERT_TRUE(eraser.LastFailure().has_value());  // why the drive ended, not the failed deletion
    EXPECT_EQ(eraser.LastFailure()->Text(),
              "opening file " + log.Created[1] + ": There is not enough space on the disk.");
    EXPECT_TRUE(Leftovers().empty());
}

TEST_F(SpaceEraserTest, ASkipOnOneDriveDoesNotEndTheNext) {
    drive.LimitCapacity(5 * MiB / 2);
    TDecisions decisions;
    decisions.Attach(eraser);
    decisions.Answers = {{IOEWriteFile, dSkip}};
    drive.Double().FailCall(Call::WriteFile, 1, platform::ERROR_IO_DEVICE);
    EXPECT_FALSE(eraser.WipeFreeSpace('T'));
    EXPECT_EQ(eraser.LastDecision(), dSkip);

    log = TEventLog();
    log.Attach(eraser);
    EXPECT_TRUE(eraser.WipeFreeSpace('T'));
    EXPECT_EQ(log.Count("Create"), 3u);
    EXPECT_EQ(eraser.LastDecision(), dIgnore);
}

// Every answer to a failure of each kind of operation, through the double. -10 is what a
// full disk gets while filling free space.
TEST_F(SpaceEraserTest, FailureMatrix) {
    struct Case {
        const char* Name;
        Call Op;
        int Nth;
        TEraseIOErrors Asked;
        bool Verify;
    };
    const std::vector<Case> ops = {
        {"write", Call::WriteFile, 3, IOEWriteFile, false},
        {"read", Call::ReadFile, 1, IOEReadFile, true},
        {"seek", Call::SetFilePointer, 1, IOESetFilePointer, false},
        {"flush", Call::FlushFileBuffers, 1, IOEFlushBuffers, false},
        {"delete", Call::DeleteFile, 1, IOEDeleteFile, false},
    };
    struct Answer {
        std::optional<TErrorHandlingDecision> Decision;  // none: a full disk
        // Per operation in the order above: the drive's result, and whether a piece is left.
        std::vector<bool> Result;
        std::vector<bool> Leftover;
    };
    const std::vector<Answer> answers = {
        {dRetry, {true, true, true, true, true}, {false, false, false, false, false}},
        {dIgnore, {true, true, true, true, true}, {false, false, false, false, true}},
        {dSkip, {false, false, false, false, true}, {false, false, false, false, true}},
        {dAbort, {false, false, false, false, true}, {false, false, false, false, true}},
        // A full disk: the write and the flush end the piece; a seek fails just that piece's
        // wipe; a read ends the read-back, which then does not match and is ignored.
        {std::nullopt, {true, true, true, true, true}, {false, false, false, false, true}},
    };
    for (size_t o = 0; o < ops.size(); ++o) {
        const Case& op = ops[o];
        TWipeMethod verified;
        TWipePass* pass = verified.AddPass();
        pass->SetTextPattern(Watermark);
        pass->Verify = op.Verify;
        eraser.ReleaseWipeMethod();
        ASSERT_TRUE(eraser.SetWipeMethod(&verified));
        for (const Answer& a : answers) {
            SCOPED_TRACE(std::string(op.Name) + " " + (a.Decision ? std::to_string(*a.Decision) : "disk full"));
            drive.LimitCapacity(5 * MiB / 2);
            log = TEventLog();
            log.Attach(eraser);
            TDecisions decisions;
            decisions.Attach(eraser);
            if (a.Decision) decisions.Answers = {{op.Asked, *a.Decision}};
            drive.Double().FailCall(op.Op, op.Nth, a.Decision ? platform::ERROR_IO_DEVICE : platform::ERROR_DISK_FULL);
            EXPECT_EQ(eraser.WipeFreeSpace('T'), a.Result[o]);
            EXPECT_EQ(decisions.Asked.size(), a.Decision ? 1u : 0u);
            EXPECT_EQ(log.Count("SpaceEnd"), 1u);
            EXPECT_EQ(log.Count("WipeStart"), log.Count("WipeEnd"));
            EXPECT_EQ(log.Deleted, log.Created);
            EXPECT_EQ(!Leftovers().empty(), a.Leftover[o]);
            for (const std::string& name : Leftovers()) std::filesystem::remove(drive.Native(name));
        }
    }
}

// Whatever ends a drive, its pieces are deleted and every begin event has its end.
TEST_F(SpaceEraserTest, EveryWayOutDeletesThePiecesAndPairsTheEvents) {
    struct Case {
        const char* Name;
        std::function<void(TTestDrive&, TTestSpaceEraser&, TDecisions&)> Arrange;
        bool Result;
        bool Throws;
    };
    const auto throwOnSecondPiece = [](TTestDrive&, TTestSpaceEraser& e, TDecisions&) {
        e.OnShowProgress = [&e](TEraser*, int64_t) {
            if (e.PieceNo() == 2) throw std::runtime_error("handler failed");
        };
    };
    const std::vector<Case> cases = {
        {"completion", [](TTestDrive&, TTestSpaceEraser&, TDecisions&) {}, true, false},
        {"disk full", [](TTestDrive& d, TTestSpaceEraser& e, TDecisions&) {
             e.OnSpaceWipeStart = [&d, logged = e.OnSpaceWipeStart](TEraser* s, char l, int64_t f) {
                 logged(s, l, f);
                 d.LimitCapacity(MiB / 2);
             };
         }, true, false},
        {"stop", [](TTestDrive&, TTestSpaceEraser& e, TDecisions&) {
             e.OnShowProgress = [&e](TEraser*, int64_t) { e.SetStopRequested(true); };
         }, false, false},
        {"skip", [](TTestDrive& d, TTestSpaceEraser&, TDecisions& a) {
             a.Answers = {{IOEWriteFile, dSkip}};
             d.Double().FailCall(Call::WriteFile, 20, platform::ERROR_IO_DEVICE);
         }, false, false},
        {"abort", [](TTestDrive& d, TTestSpaceEraser&, TDecisions& a) {
             a.Answers = {{IOEWriteFile, dAbort}};
             d.Double().FailCall(Call::WriteFile, 20, platform::ERROR_IO_DEVICE);
         }, false, false},
        {"failed open", [](TTestDrive& d, TTestSpaceEraser&, TDecisions&) {
             d.Double().FailCall(Call::CreateFile, 2, platform::ERROR_ACCESS_DENIED);
         }, false, false},
        {"exception in a handler", throwOnSecondPiece, false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        drive.LimitCapacity(5 * MiB / 2);
        log = TEventLog();
        log.Attach(eraser);
        TDecisions decisions;
        decisions.Attach(eraser);
        c.Arrange(drive, eraser, decisions);
        std::vector<std::string> deleteEvents;
        if (c.Throws)
            EXPECT_THROW((void)eraser.WipeFreeSpace('T'), std::runtime_error);
        else
            EXPECT_EQ(eraser.WipeFreeSpace('T'), c.Result);
        EXPECT_TRUE(Leftovers().empty());
        EXPECT_EQ(log.Count("WipeStart"), log.Count("WipeEnd"));
        EXPECT_EQ(log.Count("SpaceStart"), 1u);
        EXPECT_EQ(log.Lines.back(), std::string("SpaceEnd T ") + (c.Result ? "1" : "0"));
        EXPECT_EQ(log.Deleted, log.Created);
        if (!c.Result) {
            // The last wipe that ran did not complete, unless the next piece failed to open.
            const std::string failedOpen = std::string(c.Name) == "failed open" ? "1" : "0";
            EXPECT_EQ(log.Of("WipeEnd").back(), "WipeEnd " + failedOpen);
        }
        EXPECT_EQ(drive.Double().CallCount(Call::CreateFile), drive.Double().CallCount(Call::CloseHandle) +
                                                                  (std::string(c.Name) == "failed open" ? 1 : 0));
        drive.Double().Reset();
    }
}

TEST_F(SpaceEraserTest, DescriptionNamesTheDriveAndThePiece) {
    TTestSpaceEraser fresh;
    EXPECT_EQ(fresh.GetDescription(), std::string("free space on drive ") + '\0' + ": ");
    drive.LimitCapacity(100 * KiB);
    EXPECT_TRUE(eraser.WipeFreeSpace('T'));
    EXPECT_EQ(eraser.GetDescription(), "free space on drive T: (temporary file " + log.Created[0] + ")");
}

// ---- the low-disk-space notification ----

const char* const FileSystemKey = "System\\CurrentControlSet\\Control\\FileSystem";
const char* const Switch = "DisableLowDiskSpaceBroadcast";

std::optional<uint32_t> Setting(platform::IPlatform& p) {
    const auto v = p.RegQueryValue(platform::RegRoot::LocalMachine, FileSystemKey, Switch);
    if (!v) return std::nullopt;
    EXPECT_EQ(v->Type, platform::REG_DWORD);
    EXPECT_EQ(v->Data.size(), 4u);
    return v->Data[0] | v->Data[1] << 8 | v->Data[2] << 16 | static_cast<uint32_t>(v->Data[3]) << 24;
}

TEST(LowDiskSpaceBroadcast, IsOffWhileAnEraserLivesAndAsBeforeAfterwards) {
    struct Case {
        std::optional<uint32_t> Before, After;
    };
    const std::vector<Case> cases = {{std::nullopt, std::nullopt}, {5, 5}, {0, std::nullopt}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Before ? std::to_string(*c.Before) : "absent");
        platform::PosixPlatform registry{std::vector<platform::DriveEntry>{}};
        platform::ScopedPlatform scope(registry);
        if (c.Before) {
            ASSERT_TRUE(registry.RegCreateKey(platform::RegRoot::LocalMachine, FileSystemKey));
            const uint32_t v = *c.Before;
            ASSERT_TRUE(registry.RegSetValue(platform::RegRoot::LocalMachine, FileSystemKey, Switch,
                                             {platform::REG_DWORD, {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16),
                                                                    uint8_t(v >> 24)}}));
        }
        {
            TSpaceEraser eraser;
            EXPECT_EQ(Setting(registry), 0xFFFFFFFFu);
        }
        EXPECT_EQ(Setting(registry), c.After);
    }
}

TEST(LowDiskSpaceBroadcast, FailuresAreSwallowed) {
    platform::PosixPlatform registry{std::vector<platform::DriveEntry>{}};
    platform::TestPlatform failing(registry);
    platform::ScopedPlatform scope(failing);
    failing.FailCall(platform::TestPlatform::Call::RegSetValue, 1, platform::ERROR_ACCESS_DENIED, -1);
    EXPECT_NO_THROW({ TSpaceEraser eraser; });
    EXPECT_EQ(Setting(registry), std::nullopt);
}

}  // namespace
