#pragma once
// Every file operation of the eraser goes through TProtectedFileIO: one platform call in a
// loop that asks its owner what to do when the call fails. Nothing here raises an error;
// every failure ends in a return value plus Status.
#include <cstdint>
#include <functional>
#include <string>

#include "platform/Platform.h"

// Declared in full with the eraser (BaseEraser.h); the ordinal is the operation code.
enum TEraseIOErrors : int32_t;

class TProtectedFileIO {
public:
    // Sender, the failed operation, and the answer: 1 retry, 2 ignore, 3 skip, 4 abort,
    // or a value of the owner's own.
    using TDecisionNeededEvent = std::function<void(TProtectedFileIO* Sender, TEraseIOErrors Op, int32_t& Answer)>;

    // The answer to the last question; 2 (ignore) until the first one.
    int32_t Status = 2;
    TDecisionNeededEvent OnDecisionNeeded;

    int32_t AskDecision(TEraseIOErrors Op);

    // INVALID_HANDLE_VALUE when the open failed.
    [[nodiscard]] platform::HANDLE OpenFile(const std::string& FileName, uint32_t DesiredAccess, uint32_t ShareMode,
                                            uint32_t CreationDisposition, uint32_t FlagsAndAttributes);
    // The new position's low half, INVALID_SET_FILE_POINTER on failure (an all-ones low half
    // is taken as failure).
    uint32_t SeekFile(platform::HANDLE Handle, int32_t Distance, uint32_t MoveMethod);
    // The new position, -1 on failure.
    int64_t SeekFile64(platform::HANDLE Handle, int64_t Distance, uint32_t MoveMethod);
    // Bytes transferred (0 at the end of a file), or -1 after skip, abort or a failed
    // repositioning.
    int32_t ReadBlock(platform::HANDLE Handle, void* Buffer, int32_t Count);
    int32_t WriteBlock(platform::HANDLE Handle, const void* Buffer, int32_t Count);
    bool FlushFile(platform::HANDLE Handle);
    bool DeleteFileProtected(const std::string& FileName);
    // Whether the drive's root folder can be entered; a missing medium fails quietly.
    bool CheckDrive(char Drive);

    // Tries to enter Path; leaves the current folder and the error mode as they were.
    static bool DirectoryEnterable(const std::string& Path);
};

// "writing to file" and the like; empty for IOENoError, IOECRCCheck and unknown values.
[[nodiscard]] std::string IOErrorOperationText(TEraseIOErrors IOError);
