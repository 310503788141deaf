#include "engine/SpaceEraser.h"

#include <cstdio>
#include <exception>
#include <limits>

using platform::INVALID_HANDLE_VALUE;

std::string TempFileExtension = ".TMP";
int32_t SavedLowDiskSpaceValue = 0;

namespace {
const char* const FileSystemKey = "System\\CurrentControlSet\\Control\\FileSystem";
const char* const LowDiskSpaceValue = "DisableLowDiskSpaceBroadcast";

platform::RegValue DwordValue(uint32_t Value) {
    return {platform::REG_DWORD,
            {static_cast<uint8_t>(Value), static_cast<uint8_t>(Value >> 8), static_cast<uint8_t>(Value >> 16),
             static_cast<uint8_t>(Value >> 24)}};
}

// Names the drive root, not the last piece, in a failure of the drive as a whole.
class TFailureSubject {
public:
    TFailureSubject(std::string& Subject, const std::string& Value) : Subject_(Subject) { Subject_ = Value; }
    ~TFailureSubject() { Subject_.clear(); }
    TFailureSubject(const TFailureSubject&) = delete;
    TFailureSubject& operator=(const TFailureSubject&) = delete;

private:
    std::string& Subject_;
};
}  // namespace

TPiecePlan PlanPieces(int64_t FreeSpace, int64_t PieceSize) {
    TPiecePlan plan;
    plan.PieceSize = PieceSize;
    plan.PieceCount = static_cast<int32_t>(FreeSpace / PieceSize + 1);
    plan.LastPieceSize = FreeSpace % PieceSize;
    return plan;
}

TCustomSpaceEraser::TCustomSpaceEraser(void* Owner) : TEraser(Owner) {
    FEraserKind = ekFreeSpace;
    RandomizeFromClock();
    SwitchLowDiskSpaceBroadcast(true);
}

TCustomSpaceEraser::~TCustomSpaceEraser() { SwitchLowDiskSpaceBroadcast(false); }

void TCustomSpaceEraser::SwitchLowDiskSpaceBroadcast(bool Disable) {
    // The notification is a nicety: no right to write the setting is no reason to complain.
    try {
        auto& system = platform::Platform();
        const auto root = platform::RegRoot::LocalMachine;
        if (!system.RegCreateKey(root, FileSystemKey)) return;
        if (Disable) {
            const auto value = system.RegQueryValue(root, FileSystemKey, LowDiskSpaceValue);
            SavedLowDiskSpaceValue = 0;
            if (value && value->Type == platform::REG_DWORD && value->Data.size() == 4)
                SavedLowDiskSpaceValue = static_cast<int32_t>(
                    static_cast<uint32_t>(value->Data[0]) | static_cast<uint32_t>(value->Data[1]) << 8 |
                    static_cast<uint32_t>(value->Data[2]) << 16 | static_cast<uint32_t>(value->Data[3]) << 24);
            (void)system.RegSetValue(root, FileSystemKey, LowDiskSpaceValue, DwordValue(0xFFFFFFFFu));
        } else if (SavedLowDiskSpaceValue != 0) {
            (void)system.RegSetValue(root, FileSystemKey, LowDiskSpaceValue,
                                     DwordValue(static_cast<uint32_t>(SavedLowDiskSpaceValue)));
        } else {
            (void)system.RegDeleteValue(root, FileSystemKey, LowDiskSpaceValue);
        }
    } catch (...) {
    }
}

int64_t TCustomSpaceEraser::TotalWipeSize() const {
    return WipeMethod() != nullptr ? WipeMethod()->TotalPassCount() * FFreeSpace : 0;
}

std::string TCustomSpaceEraser::GetDescription() const {
    std::string text = std::string("free space on drive ") + FDrive + ": ";
    if (!FileName().empty()) text += "(temporary file " + FileName() + ")";
    return text;
}

bool TCustomSpaceEraser::FileFound(const std::string& Name) {
    auto& system = platform::Platform();
    platform::FindData data;
    const platform::HANDLE find = system.FindFirstFile(Name, data);
    if (find == INVALID_HANDLE_VALUE) return false;
    system.FindClose(find);
    return true;
}

std::string TCustomSpaceEraser::UniqueTempFileName(const std::string& Folder, const std::string& Extension) {
    std::string name;
    do {
        char digits[9];
        std::snprintf(digits, sizeof digits, "%08X", RandomBelow(0x7FFFFFFFu));
        name = Folder + digits + Extension;
    } while (FileFound(name));
    return name;
}

int64_t TCustomSpaceEraser::GetFreeSpace(const std::string& Root) {
    uint64_t available = 0, total = 0, totalFree = 0;
    if (!platform::Platform().GetDiskFreeSpaceEx(Root, available, total, totalFree)) return -1;
    constexpr uint64_t largest = static_cast<uint64_t>(std::numeric_limits<int64_t>::max());
    return static_cast<int64_t>(available < largest ? available : largest);
}

bool TCustomSpaceEraser::WipeFreeSpace(char Drive) {
    if (!BeginErase()) return false;
    FDrive = Drive;
    const std::string root = std::string(1, Drive) + ":\\";
    {
        TFailureSubject subject(FFailureSubject, root);
        if (!FileIO().CheckDrive(Drive)) return false;
    }
    FFreeSpace = GetFreeSpace(root);
    if (FFreeSpace < 0) {
        auto& system = platform::Platform();
        FLastFailure = TEraseFailure{IOEDriveNotReady, static_cast<int32_t>(system.GetLastError()), root,
                                     system.LastFailure()};
        return false;
    }
    if (OnSpaceWipeStart) OnSpaceWipeStart(this, FDrive, FFreeSpace);
    if (FFreeSpace == 0) return true;

    const TPiecePlan plan = PlanPieces(FFreeSpace, FPieceLimit);
    FPieceCount = plan.PieceCount;
    FLastPieceSize = plan.LastPieceSize;
    FProgress = 0;

    std::vector<std::string> created;
    bool result = false;
    try {
        result = WritePieces(root, plan, created);
    } catch (...) {
        (void)DeleteTemporaries(created);
        if (OnSpaceWipeEnd) OnSpaceWipeEnd(this, FDrive, false);
        throw;
    }
    const std::exception_ptr pending = DeleteTemporaries(created);
    if (pending) result = false;
    if (OnSpaceWipeEnd) OnSpaceWipeEnd(this, FDrive, result);
    if (pending) std::rethrow_exception(pending);
    return result;
}

bool TCustomSpaceEraser::WritePieces(const std::string& Root, const TPiecePlan& Plan,
                                     std::vector<std::string>& Created) {
    for (FPieceNo = 1; FPieceNo <= Plan.PieceCount; ++FPieceNo) {
        const int64_t size = Plan.SizeOf(FPieceNo);
        if (size == 0) break;  // the free space was a whole number of pieces
        if (!CreatePiece(Root, size, Created)) return false;
        try {
            (void)Wipe(false, size, 0);
        } catch (...) {
            FlushBeforeClose();
            platform::Platform().CloseHandle(FileHandle());
            throw;
        }
        FlushBeforeClose();
        platform::Platform().CloseHandle(FileHandle());
        if (FileIO().Status >= 3 || StopRequested()) return false;
    }
    return true;
}

bool TCustomSpaceEraser::CreatePiece(const std::string& Root, int64_t Size, std::vector<std::string>& Created) {
    for (int32_t draw = 1;; ++draw) {
        const std::string name = UniqueTempFileName(Root, TempFileExtension);
        SetFileName(name);
        Created.push_back(name);
        if (OnTemporaryCreate) OnTemporaryCreate(this, name, Size, FPieceNo, FPieceCount);
        // CREATE_NEW: a file someone made under this name since it was drawn is not truncated.
        if (OpenFile(platform::CREATE_NEW) != INVALID_HANDLE_VALUE) return true;
        if (FileIO().Status != NameTakenResult) return false;
        // Not ours, so never to be deleted.
        Created.pop_back();
        if (draw == MaxNameDraws) {
            auto& system = platform::Platform();
            FLastFailure = TEraseFailure{IOECreateFile, static_cast<int32_t>(system.GetLastError()), name,
                                         system.LastFailure()};
            return false;
        }
    }
}

std::exception_ptr TCustomSpaceEraser::DeleteTemporaries(std::vector<std::string>& Created) {
    // The failure that ended the drive says more than a leftover file's; that one is
    // reported through OnTemporaryDelete.
    const std::optional<TEraseFailure> reason = FLastFailure;
    std::exception_ptr pending;
    for (const std::string& name : Created) {
        try {
            TFailureSubject subject(FFailureSubject, name);
            const bool deleted = FileIO().DeleteFileProtected(name);
            if (OnTemporaryDelete) OnTemporaryDelete(this, name, deleted);
        } catch (...) {
            if (!pending) pending = std::current_exception();
        }
    }
    Created.clear();
    if (reason) FLastFailure = reason;
    return pending;
}
