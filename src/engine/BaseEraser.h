#pragma once
// TEraser writes a wipe method over a region of an open file: one sweep per pass, block
// after block, with progress events, a stop request and a decision from the application on
// every failed file operation. It owns the pass buffers and the protected file I/O object;
// it does not know what the file is for.
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/ProtectedFileIO.h"
#include "engine/Wipers.h"
#include "platform/Platform.h"

// The operation that failed; the ordinals are the operation codes, so the order is fixed.
enum TEraseIOErrors : int32_t {
    IOENoError,
    IOECreateFile,
    IOEGetFileTime,
    IOESetFileTime,
    IOEGetFileSize,
    IOESetFilePointer,
    IOEReadFile,
    IOEWriteFile,
    IOEFlushBuffers,
    IOESetEndOfFile,
    IOESetFileAttributes,
    IOEMoveFile,
    IOEDeleteFile,
    IOEDeleteFileToBin,
    IOERemoveDirectory,
    IOEFileNotFound,
    IOEFolderNotFound,
    IOEDriveNotReady,
    IOECRCCheck,
};

// An answer is the decision's ordinal plus one.
enum TErrorHandlingDecision : int32_t { dRetry, dIgnore, dSkip, dAbort };

enum TEraserKind : uint8_t { ekGeneric, ekFreeSpace };

// The eraser's own answer for a full disk while it fills free space.
inline constexpr int32_t DiskFullResult = -10;

// Why the last operation failed, for messages to the user.
struct TEraseFailure {
    TEraseIOErrors Operation = IOENoError;
    int32_t SysErrorCode = 0;
    std::string FileName;
    platform::FailureContext Context;

    // "writing to file T:\1A2B3C4D.FVNTMP: There is not enough space on the disk."
    [[nodiscard]] std::string Text() const;
};

class TEraser;

using TEraseIOErrorEvent = std::function<void(TEraser* Sender, TEraseIOErrors IOError, const std::string& IngErrorMsg,
                                              int32_t SysErrorCode, TErrorHandlingDecision& Decision)>;
using TEraseStopEvent = std::function<void(TEraser* Sender, bool& AllowStop)>;
using TEraseCRCStartEvent = std::function<void(TEraser* Sender, int32_t Pass)>;
using TEraseCRCErrorEvent = std::function<void(TEraser* Sender, int32_t Pass, TErrorHandlingDecision& Decision)>;
using TWipeStartEvent = std::function<void(TEraser* Sender, int64_t WipeSize, int64_t StartPos)>;
using TWipeEndEvent = std::function<void(TEraser* Sender, bool Completed)>;
using TShowProgressEvent = std::function<void(TEraser* Sender, int64_t Progress)>;
using TPassStartEvent = std::function<void(TEraser* Sender, int32_t Pass)>;

class TEraser {
public:
    // Owner: the component's owner, kept for the class library's sake only.
    explicit TEraser(void* Owner = nullptr);
    virtual ~TEraser();
    TEraser(const TEraser&) = delete;
    TEraser& operator=(const TEraser&) = delete;

    // Takes (borrows) the method and prepares one buffer per pass. False when not even
    // 512-byte buffers can be had; raises EEmptyPattern, after freeing the buffers, for a
    // text pass with an empty text. Call it on an eraser that holds no method.
    [[nodiscard]] bool SetWipeMethod(TWipeMethod* Method);
    // Frees the buffers; the caller destroys the method afterwards.
    void ReleaseWipeMethod();

    // A text naming what is being wiped.
    [[nodiscard]] virtual std::string GetDescription() const = 0;

    [[nodiscard]] bool StopRequested() const { return FStopRequested; }
    // Writing True asks OnEraseStop first; writing False clears the flag without an event.
    void SetStopRequested(bool Value);
    [[nodiscard]] TErrorHandlingDecision LastDecision() const { return FLastDecision; }
    [[nodiscard]] int64_t Progress() const { return FProgress; }
    [[nodiscard]] bool Ready() const { return FReady; }
    [[nodiscard]] TEraserKind EraserKind() const { return FEraserKind; }
    [[nodiscard]] int32_t BufferSize() const { return FBufferSize; }
    // Bytes per write call: a whole number of blocks, BufferSize unless WriteSize asks more.
    [[nodiscard]] int32_t WriteUnit() const { return FWriteUnit; }
    [[nodiscard]] int32_t PassCount() const { return FPassCount; }
    [[nodiscard]] int32_t CurrentPass() const { return FCurrentPass; }
    [[nodiscard]] TWipeMethod* WipeMethod() const { return FWipeMethod; }
    [[nodiscard]] const std::string& FileName() const { return FFileName; }
    [[nodiscard]] platform::HANDLE FileHandle() const { return FFileHandle; }
    [[nodiscard]] TProtectedFileIO& FileIO() { return FFileIO; }
    // The failure last put to the decision handler since the erase began; the expected
    // disk full of a free-space fill is not one.
    [[nodiscard]] const std::optional<TEraseFailure>& LastFailure() const { return FLastFailure; }

    // Published settings; they take effect with the next SetWipeMethod (buffer sizes) or
    // the next open (DirectWrites).
    [[nodiscard]] bool DirectWrites() const { return FDirectWrites; }
    void SetDirectWrites(bool Value) { FDirectWrites = Value; }
    // First buffer size to try; 0 means automatic (64 KiB, halved while memory is short).
    [[nodiscard]] int32_t UserBufferSize() const { return FUserBufferSize; }
    void SetUserBufferSize(int32_t Value) { FUserBufferSize = Value; }
    // Bytes per write call; 0 means one block. Rounded down to whole blocks, at least one.
    [[nodiscard]] int32_t WriteSize() const { return FWriteSize; }
    void SetWriteSize(int32_t Value) { FWriteSize = Value; }

    TEraseIOErrorEvent OnIOError;
    TEraseStopEvent OnEraseStop;
    TEraseCRCStartEvent OnCRCStart;
    TEraseCRCErrorEvent OnCRCError;
    TWipeStartEvent OnWipeStart;
    TWipeEndEvent OnWipeEnd;
    TShowProgressEvent OnShowProgress;
    TPassStartEvent OnPassStart;

protected:
    // Answer for a create that failed because the name is taken (free-space mode only):
    // the free-space eraser draws another name; the taken file is never ours.
    static constexpr int32_t NameTakenResult = -11;
    // Restarts of one pass after positioning failures answered ignore, per wipe.
    static constexpr int32_t MaxPassRestarts = 16;

    // Clears the stop request, the last failure and FileIO.Status; LastDecision := dIgnore;
    // returns Ready.
    bool BeginErase();
    void SetFileName(const std::string& Value) { FFileName = Value; }
    // Puts the open file's data on the disk before its handle is closed, when it was not written
    // through call by call. Silent: the file is about to be closed and deleted either way.
    void FlushBeforeClose();
    // Opens FileName for read and write, unshared, sequential, unbuffered when DirectWrites and
    // the block size is a whole number of sectors, and then write-through for one-block writes. The handle is also
    // kept in FileHandle; the caller closes it.
    platform::HANDLE OpenFile(uint32_t CreationDisposition);
    // Writes every pass over StartPos .. StartPos + WipeSize of the open file; OnWipeEnd
    // follows OnWipeStart on every way out. Closes no handle.
    bool Wipe(bool ResetProgress, int64_t WipeSize, int64_t StartPos);
    // Bound to FileIO's OnDecisionNeeded.
    void HandleIOError(TProtectedFileIO* Sender, TEraseIOErrors Op, int32_t& Answer);

    TEraserKind FEraserKind = ekGeneric;
    int64_t FProgress = 0;
    std::optional<TEraseFailure> FLastFailure;
    // What a failure is about when it is not FileName (a drive root, a piece being deleted).
    std::string FFailureSubject;

private:
    struct FreeBlock {
        void operator()(uint8_t* Block) const { std::free(Block); }
    };
    using TMemoryBlock = std::unique_ptr<uint8_t, FreeBlock>;

    bool AllocateBuffers();
    bool TryAllocateBuffers(int32_t Size);
    bool TryAllocateUnits(int32_t Size, int32_t Unit);
    void FreeBuffers();
    void FillBuffers();
    void SetCurrentPass(int32_t Pass);
    bool WritePasses(int64_t WipeSize, int64_t StartPos);
    uint32_t ReadBackCRC(int64_t FullReads, int64_t Remainder, int64_t StartPos);
    int32_t GetBytesPerSector(const std::string& Root);

    std::string FFileName;
    bool FReady = false;
    TProtectedFileIO FFileIO;
    platform::HANDLE FFileHandle = platform::INVALID_HANDLE_VALUE;
    bool FStopRequested = false;
    TErrorHandlingDecision FLastDecision = dIgnore;
    TWipeMethod* FWipeMethod = nullptr;
    int32_t FPassCount = 0;
    bool FDirectWrites = true;
    int32_t FCurrentPass = 0;
    std::vector<TMemoryBlock> FBuffers;
    TMemoryBlock FReadBackBuffer;
    int32_t FBufferSize = 0;
    int32_t FWriteUnit = 0;
    bool FWriteThrough = false;  // the open file writes through to the disk call by call
    int32_t FUserBufferSize = 0;
    int32_t FWriteSize = 0;
};
