#include "engine/ProtectedFileIO.h"

#include "engine/BaseEraser.h"

using platform::HANDLE;
using platform::INVALID_HANDLE_VALUE;
using platform::INVALID_SET_FILE_POINTER;

namespace {
constexpr int32_t AnswerRetry = 1;
constexpr int32_t AnswerIgnore = 2;
constexpr int32_t AnswerSkip = 3;
constexpr int32_t AnswerAbort = 4;
}  // namespace

int32_t TProtectedFileIO::AskDecision(TEraseIOErrors Op) {
    int32_t answer = AnswerIgnore;
    if (OnDecisionNeeded) OnDecisionNeeded(this, Op, answer);
    Status = answer;
    return answer;
}

HANDLE TProtectedFileIO::OpenFile(const std::string& FileName, uint32_t DesiredAccess, uint32_t ShareMode,
                                  uint32_t CreationDisposition, uint32_t FlagsAndAttributes) {
    for (;;) {
        const HANDLE handle =
            platform::Platform().CreateFile(FileName, DesiredAccess, ShareMode, CreationDisposition, FlagsAndAttributes);
        if (handle != INVALID_HANDLE_VALUE || AskDecision(IOECreateFile) != AnswerRetry) return handle;
    }
}

uint32_t TProtectedFileIO::SeekFile(HANDLE Handle, int32_t Distance, uint32_t MoveMethod) {
    for (;;) {
        const uint32_t position = platform::Platform().SetFilePointer(Handle, Distance, nullptr, MoveMethod);
        if (position != INVALID_SET_FILE_POINTER || AskDecision(IOESetFilePointer) != AnswerRetry) return position;
    }
}

int64_t TProtectedFileIO::SeekFile64(HANDLE Handle, int64_t Distance, uint32_t MoveMethod) {
    for (;;) {
        auto& system = platform::Platform();
        int32_t high = static_cast<int32_t>(static_cast<uint64_t>(Distance) >> 32);
        const uint32_t low = system.SetFilePointer(Handle, static_cast<int32_t>(static_cast<uint32_t>(Distance)), &high,
                                                   MoveMethod);
        // An all-ones low half is a real position when the system reports no error.
        if (low != INVALID_SET_FILE_POINTER || system.GetLastError() == platform::ERROR_SUCCESS)
            return static_cast<int64_t>((static_cast<uint64_t>(static_cast<uint32_t>(high)) << 32) | low);
        if (AskDecision(IOESetFilePointer) != AnswerRetry) return -1;
    }
}

namespace {
// The answer to a failed read or write of Count bytes of which Done were transferred:
// retry moves back over Done, ignore moves on to the end of the range.
enum class TAfterFailure { Repeat, Report, Fail };

TAfterFailure AfterTransferFailure(TProtectedFileIO& IO, HANDLE Handle, TEraseIOErrors Op, int32_t Count,
                                   uint32_t Done) {
    const int32_t answer = IO.AskDecision(Op);
    switch (answer) {
    case AnswerRetry:
        return IO.SeekFile(Handle, -static_cast<int32_t>(Done), platform::FILE_CURRENT) == INVALID_SET_FILE_POINTER
                   ? TAfterFailure::Fail
                   : TAfterFailure::Repeat;
    case AnswerIgnore:
        return IO.SeekFile(Handle, Count - static_cast<int32_t>(Done), platform::FILE_CURRENT) ==
                       INVALID_SET_FILE_POINTER
                   ? TAfterFailure::Fail
                   : TAfterFailure::Report;
    case AnswerSkip:
    case AnswerAbort:
        return TAfterFailure::Fail;
    default:
        return TAfterFailure::Report;
    }
}
}  // namespace

int32_t TProtectedFileIO::ReadBlock(HANDLE Handle, void* Buffer, int32_t Count) {
    for (;;) {
        uint32_t done = 0;
        if (platform::Platform().ReadFile(Handle, Buffer, static_cast<uint32_t>(Count), done))
            return static_cast<int32_t>(done);
        switch (AfterTransferFailure(*this, Handle, IOEReadFile, Count, done)) {
        case TAfterFailure::Repeat: continue;
        case TAfterFailure::Report: return static_cast<int32_t>(done);
        case TAfterFailure::Fail: return -1;
        }
    }
}

int32_t TProtectedFileIO::WriteBlock(HANDLE Handle, const void* Buffer, int32_t Count) {
    for (;;) {
        uint32_t done = 0;
        // A short write that the system calls a success is a failure all the same.
        if (platform::Platform().WriteFile(Handle, Buffer, static_cast<uint32_t>(Count), done) &&
            done >= static_cast<uint32_t>(Count))
            return static_cast<int32_t>(done);
        switch (AfterTransferFailure(*this, Handle, IOEWriteFile, Count, done)) {
        case TAfterFailure::Repeat: continue;
        case TAfterFailure::Report: return static_cast<int32_t>(done);
        case TAfterFailure::Fail: return -1;
        }
    }
}

bool TProtectedFileIO::FlushFile(HANDLE Handle) {
    for (;;) {
        if (platform::Platform().FlushFileBuffers(Handle)) return true;
        if (AskDecision(IOEFlushBuffers) != AnswerRetry) return false;
    }
}

bool TProtectedFileIO::DeleteFileProtected(const std::string& FileName) {
    for (;;) {
        if (platform::Platform().DeleteFile(FileName)) return true;
        if (AskDecision(IOEDeleteFile) != AnswerRetry) return false;
    }
}

bool TProtectedFileIO::CheckDrive(char Drive) {
    const std::string root = std::string(1, Drive) + ":\\";
    for (;;) {
        if (DirectoryEnterable(root)) return true;
        if (AskDecision(IOEDriveNotReady) != AnswerRetry) return false;
    }
}

bool TProtectedFileIO::DirectoryEnterable(const std::string& Path) {
    auto& system = platform::Platform();
    const std::string saved = system.GetCurrentDirectory();
    // A missing medium must fail the call, not bring up the system's critical-error box.
    const uint32_t previousMode = system.SetErrorMode(platform::SEM_FAILCRITICALERRORS);
    const bool entered = system.SetCurrentDirectory(Path);
    const uint32_t error = entered ? platform::ERROR_SUCCESS : system.GetLastError();
    system.SetCurrentDirectory(saved);
    system.SetErrorMode(previousMode);
    // The owner asks the last error why the drive failed, not how the restore went.
    if (!entered) system.SetLastError(error);
    return entered;
}

std::string IOErrorOperationText(TEraseIOErrors IOError) {
    switch (IOError) {
    case IOECreateFile: return "opening file";
    case IOEGetFileTime: return "getting file time";
    case IOESetFileTime: return "setting file time";
    case IOEGetFileSize: return "getting file size";
    case IOESetFilePointer: return "setting file pointer";
    case IOEReadFile: return "reading from file";
    case IOEWriteFile: return "writing to file";
    case IOEFlushBuffers: return "flushing buffers";
    case IOESetEndOfFile: return "truncating file";
    case IOESetFileAttributes: return "getting/setting file attributes";
    case IOEMoveFile: return "renaming file";
    case IOEDeleteFile: return "deleting file";
    case IOEDeleteFileToBin: return "deleting file using Recycle Bin";
    case IOERemoveDirectory: return "removing directory";
    case IOEFileNotFound: return "finding file";
    case IOEFolderNotFound: return "finding folder";
    case IOEDriveNotReady: return "accessing drive";
    default: return "";
    }
}
