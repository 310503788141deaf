#include "engine/ProtectedFileIO.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "EngineTestDrive.h"
#include "engine/BaseEraser.h"

namespace {

using enginetest::TTestDrive;
using platform::HANDLE;
using platform::INVALID_HANDLE_VALUE;
using Call = platform::TestPlatform::Call;

constexpr uint32_t ReadWrite = platform::GENERIC_READ | platform::GENERIC_WRITE;

// The file I/O object with an owner that always gives the same answer.
struct Owner {
    TProtectedFileIO IO;
    int32_t Answer = 2;
    std::vector<TEraseIOErrors> Asked;

    Owner() {
        IO.OnDecisionNeeded = [this](TProtectedFileIO*, TEraseIOErrors Op, int32_t& A) {
            Asked.push_back(Op);
            A = Answer;
        };
    }
};

int64_t Position(HANDLE h) {
    int32_t high = 0;
    const uint32_t low = platform::Platform().SetFilePointer(h, 0, &high, platform::FILE_CURRENT);
    return static_cast<int64_t>((static_cast<uint64_t>(static_cast<uint32_t>(high)) << 32) | low);
}

class ProtectedFileIOTest : public ::testing::Test {
protected:
    HANDLE Open(const std::string& name = "T:\\f.bin") {
        return platform::Platform().CreateFile(name, ReadWrite, 0, platform::OPEN_ALWAYS, 0);
    }
    void TearDown() override {
        for (HANDLE h : open_) platform::Platform().CloseHandle(h);
    }
    HANDLE Keep(HANDLE h) {
        open_.push_back(h);
        return h;
    }

    TTestDrive drive;
    Owner owner;

private:
    std::vector<HANDLE> open_;
};

TEST_F(ProtectedFileIOTest, WithoutAHandlerEveryQuestionIsAnsweredIgnore) {
    TProtectedFileIO io;
    EXPECT_EQ(io.Status, 2);
    io.Status = 4;
    EXPECT_EQ(io.AskDecision(IOEWriteFile), 2);
    EXPECT_EQ(io.Status, 2);
}

struct TransferCase {
    int32_t Answer;
    int32_t Result;
    int64_t Position;  // after the call
    int Calls;         // of the platform's write or read
};

// A write of 512 bytes of which the system takes only 100 before failing.
TEST_F(ProtectedFileIOTest, PartialWriteFollowsTheAnswer) {
    const std::vector<TransferCase> cases = {
        {1, 512, 512, 2},   // back over the 100 bytes, then all of it again
        {2, 100, 512, 1},   // on to the end of the range
        {3, -1, 100, 1},    {4, -1, 100, 1},
        {DiskFullResult, 100, 100, 1},  // an answer of the owner's own
        {9, 100, 100, 1},
    };
    const std::string data(512, 'w');
    for (const TransferCase& c : cases) {
        SCOPED_TRACE(c.Answer);
        owner.Answer = c.Answer;
        owner.Asked.clear();
        const HANDLE h = Keep(platform::Platform().CreateFile("T:\\w" + std::to_string(c.Answer + 20), ReadWrite, 0,
                                                               platform::CREATE_NEW, 0));
        drive.Double().PartialWrite(1, 100, platform::ERROR_WRITE_FAULT);
        const int before = drive.Double().CallCount(Call::WriteFile);
        EXPECT_EQ(owner.IO.WriteBlock(h, data.data(), 512), c.Result);
        EXPECT_EQ(drive.Double().CallCount(Call::WriteFile) - before, c.Calls);
        EXPECT_EQ(Position(h), c.Position);
        EXPECT_EQ(owner.Asked, std::vector<TEraseIOErrors>{IOEWriteFile});
        EXPECT_EQ(owner.IO.Status, c.Answer);
    }
    EXPECT_EQ(drive.Read("w21"), data);  // the retried range holds the whole block once
}

TEST_F(ProtectedFileIOTest, ShortWriteReportedAsSuccessIsAFailureAllTheSame) {
    const HANDLE h = Keep(Open());
    drive.Double().PartialWrite(1, 10);
    const std::string data(64, 'x');
    EXPECT_EQ(owner.IO.WriteBlock(h, data.data(), 64), 10);
    EXPECT_EQ(owner.Asked, std::vector<TEraseIOErrors>{IOEWriteFile});
    EXPECT_EQ(Position(h), 64);
}

TEST_F(ProtectedFileIOTest, FailedReadFollowsTheAnswer) {
    drive.Write("r.bin", std::string(1024, 'r'));
    const std::vector<TransferCase> cases = {
        {1, 512, 512, 2}, {2, 0, 512, 1}, {3, -1, 0, 1}, {4, -1, 0, 1}, {DiskFullResult, 0, 0, 1},
    };
    std::vector<char> buffer(512);
    for (const TransferCase& c : cases) {
        SCOPED_TRACE(c.Answer);
        owner.Answer = c.Answer;
        owner.Asked.clear();
        const HANDLE h = Keep(Open("T:\\r.bin"));
        drive.Double().FailCall(Call::ReadFile, 1, platform::ERROR_READ_FAULT);
        const int before = drive.Double().CallCount(Call::ReadFile);
        EXPECT_EQ(owner.IO.ReadBlock(h, buffer.data(), 512), c.Result);
        EXPECT_EQ(drive.Double().CallCount(Call::ReadFile) - before, c.Calls);
        EXPECT_EQ(Position(h), c.Position);
        EXPECT_EQ(owner.Asked, std::vector<TEraseIOErrors>{IOEReadFile});
    }
}

TEST_F(ProtectedFileIOTest, ReadAtTheEndOfTheFileSucceedsWithNothingAndAsksNothing) {
    drive.Write("e.bin", "abc");
    const HANDLE h = Keep(Open("T:\\e.bin"));
    char buffer[16];
    EXPECT_EQ(owner.IO.ReadBlock(h, buffer, 16), 3);
    EXPECT_EQ(owner.IO.ReadBlock(h, buffer, 16), 0);
    EXPECT_TRUE(owner.Asked.empty());
}

// One failure of a call that either works or not: retry makes it again, every other answer
// reports the failure.
struct SingleCallCase {
    const char* Name;
    Call Op;
    TEraseIOErrors Asked;
    std::function<bool(TProtectedFileIO&, TTestDrive&)> Run;
};

TEST_F(ProtectedFileIOTest, OpenSeekFlushDeleteAndDriveCheckRetryOrReportFailure) {
    const HANDLE file = Keep(Open("T:\\s.bin"));
    const std::vector<SingleCallCase> cases = {
        {"open", Call::CreateFile, IOECreateFile,
         [this](TProtectedFileIO& io, TTestDrive&) {
             const HANDLE h = io.OpenFile("T:\\o.bin", ReadWrite, 0, platform::OPEN_ALWAYS, 0);
             if (h != INVALID_HANDLE_VALUE) Keep(h);
             return h != INVALID_HANDLE_VALUE;
         }},
        {"seek", Call::SetFilePointer, IOESetFilePointer,
         [file](TProtectedFileIO& io, TTestDrive&) { return io.SeekFile(file, 10, platform::FILE_BEGIN) == 10; }},
        {"seek64", Call::SetFilePointer, IOESetFilePointer,
         [file](TProtectedFileIO& io, TTestDrive&) {
             const int64_t at = io.SeekFile64(file, 5'000'000'000, platform::FILE_BEGIN);
             EXPECT_TRUE(at == 5'000'000'000 || at == -1) << at;
             return at == 5'000'000'000;
         }},
        {"flush", Call::FlushFileBuffers, IOEFlushBuffers,
         [file](TProtectedFileIO& io, TTestDrive&) { return io.FlushFile(file); }},
        {"delete", Call::DeleteFile, IOEDeleteFile,
         [](TProtectedFileIO& io, TTestDrive& d) {
             d.Write("d.bin", "x");
             return io.DeleteFileProtected("T:\\d.bin");
         }},
        {"drive", Call::SetCurrentDirectory, IOEDriveNotReady,
         [](TProtectedFileIO& io, TTestDrive&) { return io.CheckDrive('T'); }},
    };
    for (const SingleCallCase& c : cases) {
        for (int32_t answer : {1, 2, 3, 4, DiskFullResult}) {
            SCOPED_TRACE(std::string(c.Name) + " answered " + std::to_string(answer));
            owner.Answer = answer;
            owner.Asked.clear();
            drive.Double().FailCall(c.Op, 1, platform::ERROR_NOT_READY);
            EXPECT_EQ(c.Run(owner.IO, drive), answer == 1);
            EXPECT_EQ(owner.Asked, std::vector<TEraseIOErrors>{c.Asked});
            EXPECT_EQ(owner.IO.Status, answer);
        }
    }
    EXPECT_EQ(drive.Files().size(), 3u);  // s.bin, o.bin and the d.bin whose deletion failed last
}

TEST_F(ProtectedFileIOTest, AnAllOnesLowHalfIsAPositionForSeekFile64OnlyWhenNoErrorIsReported) {
    const HANDLE h = Keep(Open());
    EXPECT_EQ(owner.IO.SeekFile64(h, 0xFFFFFFFFll, platform::FILE_BEGIN), 0xFFFFFFFFll);
    EXPECT_TRUE(owner.Asked.empty());
    EXPECT_EQ(owner.IO.SeekFile(h, 0, platform::FILE_CURRENT), platform::INVALID_SET_FILE_POINTER);
    EXPECT_EQ(owner.Asked, std::vector<TEraseIOErrors>{IOESetFilePointer});
}

TEST_F(ProtectedFileIOTest, CheckDriveOnAMissingDriveLeavesFolderAndErrorModeAsTheyWere) {
    auto& system = platform::Platform();
    const std::string folder = system.GetCurrentDirectory();
    const uint32_t callersMode = system.SetErrorMode(platform::SEM_NOALIGNMENTFAULTEXCEPT);
    EXPECT_FALSE(owner.IO.CheckDrive('Q'));
    EXPECT_EQ(owner.Asked, std::vector<TEraseIOErrors>{IOEDriveNotReady});
    EXPECT_EQ(system.GetCurrentDirectory(), folder);
    EXPECT_EQ(system.SetErrorMode(callersMode), platform::SEM_NOALIGNMENTFAULTEXCEPT);

    EXPECT_TRUE(owner.IO.CheckDrive('T'));
    EXPECT_EQ(system.GetCurrentDirectory(), folder);
}

TEST(IOErrorOperationText, NamesEveryOperationAndNothingElse) {
    const std::vector<std::string> texts = {"",
                                            "opening file",
                                            "getting file time",
                                            "setting file time",
                                            "getting file size",
                                            "setting file pointer",
                                            "reading from file",
                                            "writing to file",
                                            "flushing buffers",
                                            "truncating file",
                                            "getting/setting file attributes",
                                            "renaming file",
                                            "deleting file",
                                            "deleting file using Recycle Bin",
                                            "removing directory",
                                            "finding file",
                                            "finding folder",
                                            "accessing drive",
                                            ""};
    for (int32_t op = 0; op < static_cast<int32_t>(texts.size()); ++op)
        EXPECT_EQ(IOErrorOperationText(static_cast<TEraseIOErrors>(op)), texts[static_cast<size_t>(op)]) << op;
    EXPECT_EQ(IOECRCCheck, 18);
    EXPECT_EQ(IOErrorOperationText(static_cast<TEraseIOErrors>(19)), "");
    EXPECT_EQ(IOErrorOperationText(static_cast<TEraseIOErrors>(-1)), "");
}

}  // namespace
