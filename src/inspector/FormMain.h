#pragma once
// TfrmMain: the inspector's main window. The user picks a drive (or an image or device by
// path), sees one raw sector at a time as a hex dump, and moves through the sectors with the
// scroll bar or a typed sector number. Disk work is TheDirectDisk's; the window only shows.
#include <QString>
#include <QWidget>
#include <cstdint>
#include <string>
#include <vector>

#include "inspector/DirectDisk.h"
#include "platform/Platform.h"

class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;
class QScrollBar;
class QStatusBar;

namespace inspector {

class TDrivePicker;
class THexView;
class TfrmSearch;

// A sector number as the user reads it: digits grouped by the locale's thousands separator.
[[nodiscard]] QString FormatSectorNumber(int64_t value);
// Text to a signed 32-bit number the way the inspector's fields take it: leading blanks, an
// optional sign, then decimal digits or hex digits after "$" or "0x". False when it is not one.
[[nodiscard]] bool TextToInt32(const QString& text, int32_t& value);

class TfrmMain : public QWidget {
    Q_OBJECT
    platform::IPlatform& platform_;

public:
    // The kinds of scroll notification, as the scroll bar reports them.
    enum class TScrollCode { scLineUp, scLineDown, scPageUp, scPageDown, scPosition, scTrack, scTop, scBottom, scEndScroll };

    static constexpr uint32_t ReadBufferHigh = 262144;

    explicit TfrmMain(platform::IPlatform& platform = platform::Platform(), QWidget* parent = nullptr);
    ~TfrmMain() override;

    // ---- Controls ---------------------------------------------------------------------------------
    QFrame* panTop = nullptr;
    QFrame* Panel1 = nullptr;
    QLabel* Label1 = nullptr;
    TDrivePicker* cbDrives = nullptr;
    QFrame* Panel2 = nullptr;
    QPushButton* cmdSearch = nullptr;
    QFrame* panTopScroller = nullptr;
    QLabel* txtFirstSector = nullptr;
    QLabel* txtLastSector = nullptr;
    QLabel* ediCurSectorLabel = nullptr;
    QLineEdit* ediCurSector = nullptr;
    QScrollBar* TheSectorScroller = nullptr;
    THexView* TheHexViewer = nullptr;
    QStatusBar* StatusBar1 = nullptr;

    // ---- Data ---------------------------------------------------------------------------------------
    TDirDisk TheDirectDisk;
    std::vector<uint8_t> ReadBuffer;  // 262,145 bytes, destination of every read
    std::vector<uint8_t> ViewBuffer;  // the bytes handed to the viewer; the search's work area
    QString LastSectorText;
    uint8_t FloppyFormat = 0;
    bool IsFloppy = false;
    // The search dialog, created by the program after the window; not owned.
    TfrmSearch* frmSearch = nullptr;

    // ---- Operations -----------------------------------------------------------------------------------
    void ShowSector(int32_t sector);
    void SelectDrive(char letter);
    // An image file or block device by path, with the same checks and fall-back as a drive.
    void SelectDevice(const QString& path);
    void CheckFloppyDrive();
    // True while a drive (or device) is open; false on "no drive" after a failed selection.
    [[nodiscard]] bool HasDrive() const { return hasDrive_; }

    // ---- Event handlers -------------------------------------------------------------------------------
    void FormCreate();
    void cbDrivesChange();
    void panTopResize();
    void TheSectorScrollerScroll(TScrollCode scrollCode);
    // Answers whether the key was swallowed.
    bool ediCurSectorKeyPress(int key);
    void cmdSearchClick();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct TSelection {
        bool Valid = false;
        char Letter = 0;   // a drive letter, or TDirDisk::DevicePathDrive
        QString Path;      // the device path for DevicePathDrive
    };
    void ShowSelection(const QString& name, const TSelection& previous);
    void EnterNoDrive();
    void OnScrollAction(int action);
    [[nodiscard]] TSelection Current() const;

    bool hasDrive_ = false;
    bool fallingBack_ = false;
    bool triedAtStart_ = false;
    bool scrollPending_ = false;
};

}  // namespace inspector
