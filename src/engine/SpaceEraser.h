#pragma once
// The free-space eraser fills a drive's free space with temporary files in its root folder,
// writes the wipe method into each with the eraser core and deletes them all again, so the
// released clusters keep the pattern and no existing file is touched. It also keeps the
// system's low-disk-space notification off for as long as it exists.
#include <cstdint>
#include <exception>
#include <functional>
#include <string>
#include <vector>

#include "engine/BaseEraser.h"

// Every temporary file but the last is this big, which keeps each below 2 GiB and a whole
// multiple of 2 MiB (so of every automatic block size).
inline constexpr int64_t MaxPieceSize = 0x7FE00000;
// Extension, with its dot, of the temporary files; ".TMP" until the program sets its own.
extern std::string TempFileExtension;
// The notification setting found when the first eraser turned it off.
extern int32_t SavedLowDiskSpaceValue;

// How a drive's free space is cut into pieces.
struct TPiecePlan {
    int32_t PieceCount = 0;  // FreeSpace div PieceSize + 1
    int64_t PieceSize = 0;
    int64_t LastPieceSize = 0;  // FreeSpace mod PieceSize

    // Size of piece PieceNo (1-based); 0 for a last piece that has nothing left to fill.
    [[nodiscard]] int64_t SizeOf(int32_t PieceNo) const { return PieceNo == PieceCount ? LastPieceSize : PieceSize; }
};
[[nodiscard]] TPiecePlan PlanPieces(int64_t FreeSpace, int64_t PieceSize = MaxPieceSize);

using TTemporaryCreateEvent = std::function<void(TEraser* Sender, const std::string& FileName, int64_t FileSize,
                                                 int32_t PieceNo, int32_t PieceCount)>;
using TTemporaryDeleteEvent = std::function<void(TEraser* Sender, const std::string& FileName, bool DeletedOK)>;
using TSpaceWipeStartEvent = std::function<void(TEraser* Sender, char Drive, int64_t FreeSpace)>;
using TSpaceWipeEndEvent = std::function<void(TEraser* Sender, char Drive, bool WipedOK)>;

class TCustomSpaceEraser : public TEraser {
public:
    // Turns the low-disk-space notification off until destruction.
    explicit TCustomSpaceEraser(void* Owner = nullptr);
    ~TCustomSpaceEraser() override;

    // Wipes the free space of Drive (a letter, upper case) with the method set. True when
    // the space was filled to its end (or there was none). Every temporary file made is
    // deleted on every way out, and OnSpaceWipeEnd follows once the pieces have begun.
    bool WipeFreeSpace(char Drive);
    // What Progress reaches when the drive is done: TotalPassCount x FreeSpace.
    [[nodiscard]] int64_t TotalWipeSize() const;
    // "free space on drive C: (temporary file C:\0A1B2C3D.TMP)"
    [[nodiscard]] std::string GetDescription() const override;

    [[nodiscard]] char Drive() const { return FDrive; }
    [[nodiscard]] int32_t PieceCount() const { return FPieceCount; }
    [[nodiscard]] int32_t PieceNo() const { return FPieceNo; }
    [[nodiscard]] int64_t FreeSpace() const { return FFreeSpace; }
    [[nodiscard]] int64_t LastPieceSize() const { return FLastPieceSize; }

    // Folder + 8 upper-case hex digits (first 0..7) + Extension, a name not found there.
    [[nodiscard]] std::string UniqueTempFileName(const std::string& Folder, const std::string& Extension);
    // Bytes available to the caller on Root, -1 when the query fails.
    [[nodiscard]] int64_t GetFreeSpace(const std::string& Root);

    TTemporaryCreateEvent OnTemporaryCreate;
    TTemporaryDeleteEvent OnTemporaryDelete;
    TSpaceWipeStartEvent OnSpaceWipeStart;
    TSpaceWipeEndEvent OnSpaceWipeEnd;

protected:
    // Draws of a new name when the drawn one was taken before the create.
    static constexpr int32_t MaxNameDraws = 100;

    static void SwitchLowDiskSpaceBroadcast(bool Disable);
    // Size of every piece but the last; MaxPieceSize except in tests.
    void SetPieceLimit(int64_t Value) { FPieceLimit = Value; }

private:
    bool FileFound(const std::string& Name);
    // Creates the next piece under a fresh name; false when it cannot be had.
    bool CreatePiece(const std::string& Root, int64_t Size, std::vector<std::string>& Created);
    bool WritePieces(const std::string& Root, const TPiecePlan& Plan, std::vector<std::string>& Created);
    // Deletes the pieces in the order made; an error escaping a handler is held back until
    // every name has had its turn.
    std::exception_ptr DeleteTemporaries(std::vector<std::string>& Created);

    char FDrive = 0;
    int32_t FPieceCount = 0;
    int32_t FPieceNo = 0;
    int64_t FFreeSpace = 0;
    int64_t FLastPieceSize = 0;
    int64_t FPieceLimit = MaxPieceSize;
};

// The component a window holds.
class TSpaceEraser : public TCustomSpaceEraser {
public:
    using TCustomSpaceEraser::TCustomSpaceEraser;
};
