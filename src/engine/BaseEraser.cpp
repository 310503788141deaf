#include "engine/BaseEraser.h"

#include <cstring>
#include <new>

#include "engine/CRC32.h"

using platform::HANDLE;
using platform::INVALID_HANDLE_VALUE;

namespace {
// Unbuffered I/O wants its blocks on page boundaries.
constexpr size_t BlockAlignment = 4096;

bool PositionFailed(int64_t Position) { return (static_cast<uint64_t>(Position) >> 32) == 0xFFFFFFFFu; }

// "T:\" for "T:\name", "\\server\share\" for "\\server\share\name".
std::string DriveRoot(const std::string& FileName) {
    if (FileName.size() >= 2 && FileName[1] == ':') return FileName.substr(0, 2) + "\\";
    if (FileName.rfind("\\\\", 0) == 0) {
        const size_t server = FileName.find('\\', 2);
        if (server == std::string::npos) return FileName + "\\";
        const size_t share = FileName.find('\\', server + 1);
        return (share == std::string::npos ? FileName : FileName.substr(0, share)) + "\\";
    }
    return {};
}
}  // namespace

std::string TEraseFailure::Text() const {
    std::string text = IOErrorOperationText(Operation);
    if (!FileName.empty()) text += (text.empty() ? "" : " ") + FileName;
    if (!text.empty()) text += ": ";
    return text + platform::ErrorText(static_cast<uint32_t>(SysErrorCode));
}

TEraser::TEraser(void* /*Owner*/) {
    FFileIO.OnDecisionNeeded = [this](TProtectedFileIO* Sender, TEraseIOErrors Op, int32_t& Answer) {
        HandleIOError(Sender, Op, Answer);
    };
}

TEraser::~TEraser() = default;

void TEraser::SetStopRequested(bool Value) {
    if (Value && OnEraseStop) {
        // A handler that does not answer lets the stop through.
        bool allowStop = true;
        OnEraseStop(this, allowStop);
        if (!allowStop) return;
    }
    FStopRequested = Value;
}

bool TEraser::BeginErase() {
    FStopRequested = false;
    FLastDecision = dIgnore;
    FLastFailure.reset();
    // A skip or abort answered on an earlier run must not end this one.
    FFileIO.Status = 2;
    return FReady;
}

void TEraser::HandleIOError(TProtectedFileIO* /*Sender*/, TEraseIOErrors Op, int32_t& Answer) {
    Answer = 2;
    auto& system = platform::Platform();
    const uint32_t error = system.GetLastError();
    const platform::FailureContext context = system.LastFailure();
    if (FEraserKind == ekFreeSpace) {
        if (error == platform::ERROR_DISK_FULL) {
            // Filling free space is expected to end this way; only a refused create is worth
            // telling the user about.
            if (Op != IOEWriteFile && Op != IOEFlushBuffers)
                FLastFailure = TEraseFailure{Op, static_cast<int32_t>(error), FFileName, context};
            Answer = DiskFullResult;
            return;
        }
        if (Op == IOECreateFile && (error == platform::ERROR_FILE_EXISTS || error == platform::ERROR_ALREADY_EXISTS)) {
            Answer = NameTakenResult;
            return;
        }
    }
    FLastFailure =
        TEraseFailure{Op, static_cast<int32_t>(error), FFailureSubject.empty() ? FFileName : FFailureSubject, context};
    if (OnIOError) {
        OnIOError(this, Op, IOErrorOperationText(Op), static_cast<int32_t>(error), FLastDecision);
        Answer = static_cast<int32_t>(FLastDecision) + 1;
    }
}

bool TEraser::SetWipeMethod(TWipeMethod* Method) {
    FReady = false;
    FWipeMethod = Method;
    FPassCount = Method != nullptr ? Method->PassCount() : 0;
    if (Method == nullptr || !AllocateBuffers()) return false;
    try {
        FillBuffers();
    } catch (...) {
        FreeBuffers();
        throw;
    }
    RandomizeFromClock();
    FReady = true;
    return true;
}

void TEraser::ReleaseWipeMethod() {
    FreeBuffers();
    FReady = false;
    FWipeMethod = nullptr;
    FPassCount = 0;
}

bool TEraser::AllocateBuffers() {
    if (FUserBufferSize > 0 && TryAllocateBuffers(FUserBufferSize)) return true;
    for (int32_t n = 7; n >= 0; --n)
        if (TryAllocateBuffers(512 << n)) return true;
    return false;
}

bool TEraser::TryAllocateBuffers(int32_t Size) {
    // Several blocks per write call when asked and affordable, else one.
    const int32_t blocks = FWriteSize > Size ? FWriteSize / Size : 1;
    if (blocks > 1 && static_cast<int64_t>(blocks) * Size <= INT32_MAX && TryAllocateUnits(Size, blocks * Size))
        return true;
    return TryAllocateUnits(Size, Size);
}

bool TEraser::TryAllocateUnits(int32_t Size, int32_t Unit) {
    FreeBuffers();
    const size_t bytes = (static_cast<size_t>(Unit) + BlockAlignment - 1) / BlockAlignment * BlockAlignment;
    auto allocate = [bytes]() {
        void* block = nullptr;
        if (posix_memalign(&block, BlockAlignment, bytes) != 0) throw std::bad_alloc();
        return TMemoryBlock(static_cast<uint8_t*>(block));
    };
    try {
        FBuffers.reserve(static_cast<size_t>(FPassCount));
        for (int32_t i = 0; i < FPassCount; ++i) FBuffers.push_back(allocate());
        FReadBackBuffer = allocate();
    } catch (const std::bad_alloc&) {
        FreeBuffers();
        return false;
    }
    FBufferSize = Size;
    FWriteUnit = Unit;
    return true;
}

void TEraser::FreeBuffers() {
    FBuffers.clear();
    FBuffers.shrink_to_fit();
    FReadBackBuffer.reset();
}

void TEraser::FillBuffers() {
    for (int32_t i = 0; i < FPassCount; ++i) {
        const TWipePass* pass = FWipeMethod->Pass(i);
        uint8_t* block = FBuffers[static_cast<size_t>(i)].get();
        switch (pass->PatternKind) {
        case pkByte:
            std::memset(block, pass->FillByte, static_cast<size_t>(FWriteUnit));
            break;
        case pkText:
            pass->FillText(block, FBufferSize);
            // Every block of a write unit is the same, so the text restarts at each multiple
            // of BufferSize whatever the write size.
            for (int32_t at = FBufferSize; at < FWriteUnit; at += FBufferSize)
                std::memcpy(block + at, block, static_cast<size_t>(FBufferSize));
            break;
        case pkRandom:
            break;  // drawn anew before every write
        }
    }
}

int32_t TEraser::GetBytesPerSector(const std::string& Root) {
    uint32_t sectorsPerCluster = 0, bytesPerSector = 0, freeClusters = 0, totalClusters = 0;
    if (!platform::Platform().GetDiskFreeSpace(Root, sectorsPerCluster, bytesPerSector, freeClusters, totalClusters))
        return -1;
    return static_cast<int32_t>(bytesPerSector);
}

HANDLE TEraser::OpenFile(uint32_t CreationDisposition) {
    if (!FReady) return INVALID_HANDLE_VALUE;
    bool direct = FDirectWrites;
    if (direct) {
        const int32_t sector = GetBytesPerSector(DriveRoot(FFileName));
        if (sector <= 0 || FBufferSize % sector != 0) direct = false;
    }
    uint32_t flags = platform::FILE_FLAG_SEQUENTIAL_SCAN | platform::FILE_ATTRIBUTE_NORMAL;
    // One block per call goes through to the disk call by call. Larger calls are what keep the
    // device busy, and a synchronous flush per call would idle it again: their data is flushed
    // at the end of each pass and before the file is closed (FlushBeforeClose) instead.
    FWriteThrough = direct && FWriteUnit == FBufferSize;
    if (direct) flags |= platform::FILE_FLAG_NO_BUFFERING;
    if (FWriteThrough) flags |= platform::FILE_FLAG_WRITE_THROUGH;
    FFileHandle = FFileIO.OpenFile(FFileName, platform::GENERIC_READ | platform::GENERIC_WRITE, 0, CreationDisposition,
                                   flags);
    return FFileHandle;
}

void TEraser::FlushBeforeClose() {
    // A pass that ended early (a stop, a skip, an error in a handler) did not flush; without
    // write-through its last data could still be on the way when the file is deleted.
    if (!FWriteThrough && FFileHandle != INVALID_HANDLE_VALUE) (void)platform::Platform().FlushFileBuffers(FFileHandle);
}

void TEraser::SetCurrentPass(int32_t Pass) {
    FCurrentPass = Pass;
    if (OnPassStart) OnPassStart(this, Pass);
}

bool TEraser::Wipe(bool ResetProgress, int64_t WipeSize, int64_t StartPos) {
    FStopRequested = false;
    if (!FReady) return false;
    if (ResetProgress) FProgress = 0;
    if (OnWipeStart) OnWipeStart(this, WipeSize, StartPos);
    bool completed = false;
    try {
        completed = WritePasses(WipeSize, StartPos);
    } catch (...) {
        if (OnWipeEnd) OnWipeEnd(this, false);
        throw;
    }
    if (OnWipeEnd) OnWipeEnd(this, completed);
    return completed;
}

bool TEraser::WritePasses(int64_t WipeSize, int64_t StartPos) {
    const int64_t unit = FWriteUnit;
    const int64_t fullBuffers = WipeSize / unit;
    const int64_t remainder = WipeSize % unit;
    for (int32_t p = 0; p < FPassCount; ++p) {
        const TWipePass* pass = FWipeMethod->Pass(p);
        uint8_t* block = FBuffers[static_cast<size_t>(p)].get();
        int32_t restarts = 0;
        bool passDone = false;
        while (!passDone) {
            SetCurrentPass(p);
            uint32_t writtenCRC = CRC32Init();
            if (PositionFailed(FFileIO.SeekFile64(FFileHandle, StartPos, platform::FILE_BEGIN))) {
                // An ignored positioning failure starts the pass over, but not for ever.
                if (FFileIO.Status == 2 && ++restarts <= MaxPassRestarts) continue;
                return false;
            }
            int64_t stepsDone = 0;
            for (int64_t i = 1; i <= fullBuffers + 1; ++i) {
                const int32_t chunk = static_cast<int32_t>(i > fullBuffers ? remainder : unit);
                if (pass->PatternKind == pkRandom) pass->FillRandom(block, chunk);
                const int32_t written = FFileIO.WriteBlock(FFileHandle, block, chunk);
                if (pass->Verify) CRC32Update(writtenCRC, block, written);
                if (written < chunk) {
                    if (FFileIO.Status == DiskFullResult) {
                        // The file cannot grow further. What did fit is on the disk: count it, so
                        // that progress ends where the data ends, not one large write short.
                        if (written > 0) {
                            FProgress += written;
                            if (OnShowProgress) OnShowProgress(this, FProgress);
                        }
                        break;
                    }
                    if (FFileIO.Status >= 3) return false;
                }
                FProgress += chunk;
                if (OnShowProgress) OnShowProgress(this, FProgress);
                ++stepsDone;
                if (FStopRequested) return false;
            }
            if (!FFileIO.FlushFile(FFileHandle) && FFileIO.Status >= 3) return false;
            if (!pass->Verify) break;

            const uint32_t expected = CRC32Final(writtenCRC);
            const int64_t saved = FProgress;
            if (ReadBackCRC(stepsDone - 1, remainder, StartPos) == expected) break;
            TErrorHandlingDecision decision = dIgnore;
            if (OnCRCError) OnCRCError(this, FCurrentPass, decision);
            // The answer, not a stop pressed during the read-back, decides whether to stop.
            if (decision != dAbort) FStopRequested = false;
            switch (decision) {
            case dRetry:
                FProgress = saved - WipeSize;
                break;
            case dIgnore:
                FProgress = saved + WipeSize;
                passDone = true;
                break;
            case dSkip:
            case dAbort:
                return false;
            }
        }
    }
    return true;
}

uint32_t TEraser::ReadBackCRC(int64_t FullReads, int64_t Remainder, int64_t StartPos) {
    if (OnCRCStart) OnCRCStart(this, FCurrentPass);
    uint32_t crc = CRC32Init();
    if (FullReads < 0) return CRC32Final(crc);
    if (PositionFailed(FFileIO.SeekFile64(FFileHandle, StartPos, platform::FILE_BEGIN))) return CRC32Final(crc);
    for (;;) {
        const int32_t size = static_cast<int32_t>(FullReads == 0 ? Remainder : FWriteUnit);
        --FullReads;
        const int32_t read = FFileIO.ReadBlock(FFileHandle, FReadBackBuffer.get(), size);
        if (read == 0) break;
        CRC32Update(crc, FReadBackBuffer.get(), read);
        FProgress += size;
        if (OnShowProgress) OnShowProgress(this, FProgress);
        if (FStopRequested) break;
    }
    return CRC32Final(crc);
}
