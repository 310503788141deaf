#pragma once
// The writer's one main window: a six-page wizard (welcome, watermark text, drives, ready,
// progress, result) that conducts the free-space eraser over the ticked drives.
#include <chrono>
#include <functional>
#include <memory>

#include <QString>
#include <QWidget>

#include "engine/SpaceEraser.h"

class QFileDialog;
class QFrame;
class QLabel;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QStackedWidget;

namespace writer {

class TLinkLabel;
class TuduDriveListView;

// What the window takes from its surroundings; tests put their own folder and date here.
struct TMainOptions {
    QString ProgramFolder;                                // empty: the executable's folder
    std::function<std::chrono::year_month_day()> Today;  // empty: the local date
};

class TfrmMain : public QWidget {
    Q_OBJECT
public:
    // The registry key and section of the window place.
    static inline const QString SettingsKey = QStringLiteral("Software\\Ferrovane\\Ferrovane");
    static inline const QString SettingsSection = QStringLiteral("Options");

    explicit TfrmMain(TMainOptions Options = {}, QWidget* Parent = nullptr);
    ~TfrmMain() override;

    // ---- Controls --------------------------------------------------------------------------
    QLabel* imgLeft = nullptr;  // the navy panel with its picture
    QWidget* panButtons = nullptr;
    QFrame* bvlButtons = nullptr;
    QPushButton* cmdHelp = nullptr;
    QPushButton* cmdAbout = nullptr;
    QPushButton* cmdBack = nullptr;
    QPushButton* cmdNext = nullptr;
    QPushButton* cmdExit = nullptr;
    QStackedWidget* TheNotebook = nullptr;
    QWidget* page0 = nullptr;
    QWidget* page1 = nullptr;
    QWidget* page2 = nullptr;
    QWidget* page3 = nullptr;
    QWidget* page4 = nullptr;
    QWidget* page5 = nullptr;
    QPlainTextEdit* memWelcome = nullptr;  // the read-only six lines on page0
    QPlainTextEdit* memWatermark = nullptr;
    TLinkLabel* txtButtonLoadWatermark = nullptr;
    TLinkLabel* txtButtonSaveWatermark = nullptr;
    TuduDriveListView* lvDrives = nullptr;
    QLabel* txtNowAplying = nullptr;
    QProgressBar* pbProgress = nullptr;
    QLabel* txtDone = nullptr;
    TLinkLabel* txtHowToCheck = nullptr;
    QLabel* txtFailures = nullptr;  // the drives that could not be written, and why
    QFileDialog* dlgOpen = nullptr;
    QFileDialog* dlgSave = nullptr;
    std::unique_ptr<TSpaceEraser> TheSpaceEraser;

    // Upper-case letters of the ticked drives in row order ("CE").
    QString SelectedDrives;

    // ---- Handlers --------------------------------------------------------------------------
    void FormCreate();
    void FormClose();
    void TheNotebookPageChanged(int Index);
    void cmdNextClick();
    void cmdBackClick();
    void cmdExitClick();
    void cmdHelpClick();
    void cmdAboutClick();
    void txtHowToCheckClick();
    void txtButtonLoadWatermarkClick();
    void txtButtonSaveWatermarkClick();
    void TheSpaceEraserShowProgress(TEraser* Sender, int64_t Progress);
    void lvDrivesDblClick() {}

    // ---- Operations ------------------------------------------------------------------------
    void CollectSelectedDrives();
    void PreselectFixedDrives();
    void CleanUpLeftoverFiles();
    // Puts a watermark file into the text box; throws EWatermarkFileError.
    void LoadWatermark(const QString& FileName);
    // Saves the text box's watermark; throws EWatermarkFileError.
    void SaveWatermark(const QString& FileName);
    // The watermark as the run writes it: the box's lines joined by CR LF, local 8-bit.
    [[nodiscard]] std::string WatermarkText() const;
    [[nodiscard]] const QString& ProgramFolder() const { return FProgramFolder; }

protected:
    void closeEvent(QCloseEvent* Event) override;

private:
    void BuildWindow();
    void BuildPages();
    void WriteNextRunDate();
    void RunWatermark();

    QString FProgramFolder;
    std::function<std::chrono::year_month_day()> FToday;
    QString FLastOpenFile;
    QString FLastSaveFile;
};

// "Arial" and "MS Sans Serif" drawn with the metric-compatible Liberation Sans.
void InstallFontSubstitutes();

}  // namespace writer
