#include "inspector/FormSearch.h"

#include <QCoreApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QShowEvent>
#include <QSpinBox>
#include <QStackedWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <climits>

#include "common/CenterFormOverQt.h"
#include "inspector/FormMain.h"

namespace inspector {

namespace {
// The caption and borders of a dialog frame; the heights below are outer heights, as a window
// manager draws them, and the client area is what is left.
constexpr int kNonClientHeight = 25;
constexpr int kClientWidth = 496;

QPushButton* NewButton(const QString& text, QWidget* parent, int left, int top) {
    auto* button = new QPushButton(text, parent);
    button->setGeometry(left, top, 75, 25);
    // No default button: Enter in the text edit does not start a search.
    button->setAutoDefault(false);
    button->setDefault(false);
    return button;
}
}  // namespace

TfrmSearch::TfrmSearch(TfrmMain* mainForm)
    : QDialog(mainForm, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                            Qt::CustomizeWindowHint),
      mainForm_(mainForm),
      search_(mainForm->TheDirectDisk, std::span<uint8_t>(mainForm->ReadBuffer), std::span<uint8_t>(mainForm->ViewBuffer)) {
    setWindowTitle(QStringLiteral("Search watermark"));
    setModal(true);
    QFont arial(QStringLiteral("Arial"));
    arial.setPixelSize(13);
    setFont(arial);
    setFixedSize(kClientWidth, 308);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    ThePages = new QStackedWidget(this);
    layout->addWidget(ThePages);

    // ---- Options page -------------------------------------------------------------------------------
    auto* options = new QWidget(ThePages);
    ThePages->addWidget(options);
    GroupBox1 = new QGroupBox(QStringLiteral(" Where to start the search "), options);
    GroupBox1->setGeometry(8, 8, 480, 110);
    rbSearchFromFirstSector = new QRadioButton(QStringLiteral("Search from the first sector"), GroupBox1);
    rbSearchFromFirstSector->move(14, 26);
    rbSearchFromLastSector = new QRadioButton(QStringLiteral("Search from the last sector"), GroupBox1);
    rbSearchFromLastSector->move(14, 52);
    rbSearchFromSector = new QRadioButton(QStringLiteral("Search from sector"), GroupBox1);
    rbSearchFromSector->move(14, 78);
    for (QRadioButton* rb : {rbSearchFromFirstSector, rbSearchFromLastSector, rbSearchFromSector}) rb->adjustSize();
    ediSearchFromSector = new QSpinBox(GroupBox1);
    ediSearchFromSector->setGeometry(rbSearchFromSector->x() + rbSearchFromSector->width() + 8, 75, 130, 24);
    ediSearchFromSector->setRange(0, 0);
    ediSearchFromSector->setValue(0);
    rbSearchFromLastSector->setChecked(true);

    GroupBox2 = new QGroupBox(QStringLiteral(" Search direction "), options);
    GroupBox2->setGeometry(8, 126, 480, 80);
    rbSearchForward = new QRadioButton(QStringLiteral("Forward"), GroupBox2);
    rbSearchForward->move(14, 26);
    rbSearchBackward = new QRadioButton(QStringLiteral("Backward"), GroupBox2);
    rbSearchBackward->move(14, 52);
    rbSearchForward->adjustSize();
    rbSearchBackward->adjustSize();
    rbSearchBackward->setChecked(true);

    ediSearchLabel = new QLabel(QStringLiteral("Text from the watermark to search: "), options);
    ediSearchLabel->adjustSize();
    ediSearch = new QLineEdit(options);
    const int editLeft = 8 + ediSearchLabel->width() + 3;
    ediSearch->setGeometry(editLeft, 222, 488 - editLeft, 24);
    ediSearchLabel->move(8, 222 + (24 - ediSearchLabel->height()) / 2);
    ediSearchLabel->setBuddy(ediSearch);

    cmdSearch = NewButton(QStringLiteral("Search"), options, 318, 268);
    cmdCancel = NewButton(QStringLiteral("Cancel"), options, 405, 268);

    setTabOrder(cmdSearch, cmdCancel);
    setTabOrder(cmdCancel, rbSearchFromFirstSector);
    setTabOrder(rbSearchFromFirstSector, rbSearchFromLastSector);
    setTabOrder(rbSearchFromLastSector, rbSearchFromSector);
    setTabOrder(rbSearchFromSector, ediSearchFromSector);
    setTabOrder(ediSearchFromSector, rbSearchForward);
    setTabOrder(rbSearchForward, rbSearchBackward);
    setTabOrder(rbSearchBackward, ediSearch);

    // ---- Progress page ------------------------------------------------------------------------------
    auto* progress = new QWidget(ThePages);
    ThePages->addWidget(progress);
    txtProgress = new QLabel(progress);
    txtProgress->move(16, 24);
    TheProgress = new QProgressBar(progress);
    TheProgress->setGeometry(16, 50, 465, 20);
    TheProgress->setTextVisible(false);
    TheProgress->setRange(0, 0);
    TheProgress->setStyleSheet(QStringLiteral("QProgressBar { border: 1px solid #808080; background: white; }"
                                              "QProgressBar::chunk { background: navy; }"));
    txtDirection = new QLabel(progress);
    txtDirection->setGeometry(16, 84, 465, 18);
    txtDirection->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
    cmdCancelSearch = NewButton(QStringLiteral("Cancel"), progress, 210, 128);

    connect(cmdSearch, &QPushButton::clicked, this, &TfrmSearch::cmdSearchClick);
    connect(cmdCancel, &QPushButton::clicked, this, &TfrmSearch::cmdCancelClick);
    connect(cmdCancelSearch, &QPushButton::clicked, this, &TfrmSearch::cmdCancelSearchClick);

    search_.OnProgress = [this](uint32_t sector) {
        TheProgress->setValue(static_cast<int>(std::min<uint32_t>(sector, static_cast<uint32_t>(TheProgress->maximum()))));
        txtProgress->setText(QStringLiteral("Searching sector ") + FormatSectorNumber(sector) + QStringLiteral("..."));
        txtProgress->adjustSize();
    };
    search_.OnProcessMessages = [this] {
        QCoreApplication::processEvents();
        return CancelRequested;
    };
}

TfrmSearch::~TfrmSearch() = default;

void TfrmSearch::SetOuterHeight(int outerHeight) { setFixedSize(kClientWidth, outerHeight - kNonClientHeight); }

void TfrmSearch::showEvent(QShowEvent* event) {
    if (!event->spontaneous()) FormShow();
    QDialog::showEvent(event);
}

void TfrmSearch::FormShow() {
    SetOuterHeight(cmdSearch->y() + 65);
    common::CenterFormOver(mainForm_, this);
    FoundSector = -1;
    FoundOffset = -1;
    Outcome = TSearchOutcome::soNone;
    UnreadableSectors = 0;
    const uint32_t total = mainForm_->TheDirectDisk.TotalSectors();
    TheProgress->setRange(0, static_cast<int>(std::min<uint32_t>(total, INT_MAX)));
    // Sectors are numbered from 0 to the last one; nothing else can be a start.
    ediSearchFromSector->setRange(0, static_cast<int>(std::min<uint32_t>(total > 0 ? total - 1 : 0, INT_MAX)));
    ThePages->setCurrentIndex(0);
}

void TfrmSearch::cmdSearchClick() {
    CancelRequested = false;
    const QByteArray bytes = ediSearch->text().toLocal8Bit();
    FoundLength = static_cast<int32_t>(bytes.size());

    ThePages->setCurrentIndex(1);
    SetOuterHeight(cmdCancelSearch->y() + 65);
    common::CenterFormOver(mainForm_, this);
    setWindowTitle(QStringLiteral("Searching for ") + ediSearch->text());

    const uint32_t total = mainForm_->TheDirectDisk.TotalSectors();
    int64_t start = 0;
    if (rbSearchFromLastSector->isChecked()) {
        start = static_cast<int64_t>(total) - 1;
    } else if (rbSearchFromSector->isChecked()) {
        start = ediSearchFromSector->value();
    }
    const bool forward = rbSearchForward->isChecked();
    txtDirection->setText(forward ? QStringLiteral("Search direction forward ->") : QStringLiteral("Search direction backward <-"));

    TSearchResult result;
    if (start >= 0) {
        searching_ = true;
        result = search_.Run(bytes.toStdString(), static_cast<uint32_t>(start),
                             forward ? TSearchDirection::sdForward : TSearchDirection::sdBackward);
        searching_ = false;
    }
    FoundSector = result.FoundSector >= 0 && result.FoundSector <= INT32_MAX ? static_cast<int32_t>(result.FoundSector) : -1;
    FoundOffset = FoundSector >= 0 ? result.FoundOffset : -1;
    UnreadableSectors = result.UnreadableSectors;
    Outcome = FoundSector >= 0 ? TSearchOutcome::soFound
              : result.Cancelled ? TSearchOutcome::soCancelled
                                 : TSearchOutcome::soNotFound;
    accept();
}

void TfrmSearch::cmdCancelClick() { QDialog::reject(); }

void TfrmSearch::cmdCancelSearchClick() { CancelRequested = true; }

bool TfrmSearch::SearchChunk(uint32_t s) { return search_.SearchChunk(s); }

void TfrmSearch::reject() {
    if (searching_) {
        cmdCancelSearchClick();
        return;
    }
    QDialog::reject();
}

}  // namespace inspector
