#pragma once
// TfrmSearch: the inspector's "Search watermark" dialog. It asks where to start, which way to
// go and what text to look for, runs the chunked sector search through the main window's
// TheDirectDisk and buffers, and leaves where it found the text in its result fields.
#include <QDialog>
#include <cstdint>

#include "inspector/SectorSearch.h"

class QGroupBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QStackedWidget;

namespace inspector {

class TfrmMain;

class TfrmSearch : public QDialog {
    Q_OBJECT
public:
    // How the last showing ended, so the opener can tell "not found" from "not searched".
    enum class TSearchOutcome { soNone, soFound, soNotFound, soCancelled };

    explicit TfrmSearch(TfrmMain* mainForm);
    ~TfrmSearch() override;

    // ---- Controls -----------------------------------------------------------------------------------
    QStackedWidget* ThePages = nullptr;
    // options page
    QGroupBox* GroupBox1 = nullptr;
    QRadioButton* rbSearchFromFirstSector = nullptr;
    QRadioButton* rbSearchFromLastSector = nullptr;
    QRadioButton* rbSearchFromSector = nullptr;
    QSpinBox* ediSearchFromSector = nullptr;
    QGroupBox* GroupBox2 = nullptr;
    QRadioButton* rbSearchForward = nullptr;
    QRadioButton* rbSearchBackward = nullptr;
    QLabel* ediSearchLabel = nullptr;
    QLineEdit* ediSearch = nullptr;
    QPushButton* cmdSearch = nullptr;
    QPushButton* cmdCancel = nullptr;
    // progress page
    QLabel* txtProgress = nullptr;
    QProgressBar* TheProgress = nullptr;
    QLabel* txtDirection = nullptr;
    QPushButton* cmdCancelSearch = nullptr;

    // ---- Fields -----------------------------------------------------------------------------------------
    bool CancelRequested = false;
    int32_t FoundSector = -1;
    int32_t FoundOffset = -1;
    int32_t FoundLength = 0;
    TSearchOutcome Outcome = TSearchOutcome::soNone;
    uint32_t UnreadableSectors = 0;

    // ---- Event handlers -------------------------------------------------------------------------------
    void FormShow();
    void cmdSearchClick();
    void cmdCancelClick();
    void cmdCancelSearchClick();
    // One chunk of the running search (forward: starting at s, backward: ending at s).
    bool SearchChunk(uint32_t s);

    [[nodiscard]] bool Searching() const { return searching_; }

public slots:
    // Esc and the close box while searching ask the search to stop instead of leaving it
    // running behind a closed dialog.
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void SetOuterHeight(int outerHeight);

    TfrmMain* mainForm_;
    TSectorSearch search_;
    bool searching_ = false;
};

}  // namespace inspector
