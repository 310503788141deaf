#include "inspector/FormMain.h"

#include <QApplication>
#include <QEvent>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMouseEvent>
#include <QPushButton>
#include <QScrollBar>
#include <QShortcut>
#include <QStatusBar>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <cstring>

#include "inspector/DrivePicker.h"
#include "inspector/FormSearch.h"
#include "inspector/HexView.h"
#include "inspector/UserPrompts.h"

namespace inspector {

QString FormatSectorNumber(int64_t value) {
    QLocale locale;
    locale.setNumberOptions(locale.numberOptions() & ~QLocale::OmitGroupSeparator);
    return locale.toString(static_cast<qlonglong>(value));
}

bool TextToInt32(const QString& text, int32_t& value) {
    int i = 0;
    const int n = static_cast<int>(text.size());
    while (i < n && (text[i] == QLatin1Char(' ') || text[i] == QLatin1Char('\t'))) ++i;
    bool negative = false;
    if (i < n && (text[i] == QLatin1Char('-') || text[i] == QLatin1Char('+'))) negative = text[i++] == QLatin1Char('-');
    int base = 10;
    if (i < n && text[i] == QLatin1Char('$')) {
        base = 16;
        ++i;
    } else if (i + 1 < n && text[i] == QLatin1Char('0') && (text[i + 1] == QLatin1Char('x') || text[i + 1] == QLatin1Char('X'))) {
        base = 16;
        i += 2;
    }
    if (i >= n) return false;
    uint64_t magnitude = 0;
    for (; i < n; ++i) {
        const int digit = QChar(text[i]).isDigit() && text[i].unicode() < 128 ? text[i].unicode() - '0'
                          : base == 16 && text[i].toLower() >= QLatin1Char('a') && text[i].toLower() <= QLatin1Char('f')
                              ? text[i].toLower().unicode() - 'a' + 10
                              : -1;
        if (digit < 0) return false;
        magnitude = magnitude * base + digit;
        if (magnitude > 0xFFFFFFFFull) return false;
    }
    int64_t result;
    if (base == 16) {
        // Hex digits give the 32 bits as they are ("$FFFFFFFF" is -1).
        result = static_cast<int32_t>(static_cast<uint32_t>(magnitude));
    } else {
        result = static_cast<int64_t>(magnitude);
    }
    if (negative) result = -result;
    if (result < INT32_MIN || result > INT32_MAX) return false;
    value = static_cast<int32_t>(result);
    return true;
}

TfrmMain::TfrmMain(platform::IPlatform& platform, QWidget* parent)
    : QWidget(parent), platform_(platform), TheDirectDisk(platform), ReadBuffer(262145, 0), ViewBuffer(262145, 0) {
    QFont::insertSubstitution(QStringLiteral("Arial"), QStringLiteral("Liberation Sans"));
    setWindowTitle(ApplicationTitle);
    QFont arial(QStringLiteral("Arial"));
    arial.setPixelSize(13);
    setFont(arial);
    move(69, 71);
    resize(680, 495);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    panTop = new QFrame(this);
    panTop->setFixedHeight(145);
    layout->addWidget(panTop);

    Panel1 = new QFrame(panTop);
    Panel1->setAutoFillBackground(true);
    QPalette gray = Panel1->palette();
    gray.setColor(QPalette::Window, QColor(128, 128, 128));
    Panel1->setPalette(gray);

    Label1 = new QLabel(QStringLiteral("Select the disk drive you want to inspect:"), Panel1);
    QFont bold = arial;
    bold.setBold(true);
    Label1->setFont(bold);
    QPalette white = Label1->palette();
    white.setColor(QPalette::WindowText, Qt::white);
    Label1->setPalette(white);
    Label1->adjustSize();
    Label1->move(8, 22);

    cbDrives = new TDrivePicker(platform, Panel1);
    cbDrives->setGeometry(288, 18, 209, cbDrives->sizeHint().height());
    cbDrives->setIconSize(QSize(16, 16));

    Panel2 = new QFrame(Panel1);
    cmdSearch = new QPushButton(QStringLiteral("Search..."), Panel2);
    cmdSearch->setGeometry(47, 16, 75, 25);
    cmdSearch->setToolTip(QStringLiteral("Search the drive for a piece of the watermark (Ctrl+F)"));

    panTopScroller = new QFrame(panTop);
    QFont small = arial;
    small.setPixelSize(11);
    txtFirstSector = new QLabel(panTopScroller);
    txtFirstSector->setFont(small);
    txtFirstSector->setAlignment(Qt::AlignLeft | Qt::AlignBottom);
    txtLastSector = new QLabel(panTopScroller);
    txtLastSector->setFont(small);
    txtLastSector->setAlignment(Qt::AlignRight | Qt::AlignBottom);
    ediCurSectorLabel = new QLabel(QStringLiteral("Current sector: "), panTopScroller);
    ediCurSectorLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    ediCurSector = new QLineEdit(panTopScroller);
    ediCurSectorLabel->setBuddy(ediCurSector);
    TheSectorScroller = new QScrollBar(Qt::Horizontal, panTopScroller);
    TheSectorScroller->setMinimum(0);
    TheSectorScroller->setMaximum(0);
    TheSectorScroller->setSingleStep(1);
    TheSectorScroller->setPageStep(0);

    TheHexViewer = new THexView(this);
    layout->addWidget(TheHexViewer, 1);

    StatusBar1 = new QStatusBar(this);
    StatusBar1->setFixedHeight(19);
    StatusBar1->setSizeGripEnabled(false);
    layout->addWidget(StatusBar1);

    panTop->installEventFilter(this);
    ediCurSector->installEventFilter(this);
    TheSectorScroller->installEventFilter(this);
    connect(cbDrives, &TDrivePicker::Change, this, &TfrmMain::cbDrivesChange);
    connect(TheSectorScroller, &QScrollBar::actionTriggered, this, &TfrmMain::OnScrollAction);
    connect(TheSectorScroller, &QScrollBar::sliderReleased, this, [this] { TheSectorScrollerScroll(TScrollCode::scPosition); });
    connect(cmdSearch, &QPushButton::clicked, this, &TfrmMain::cmdSearchClick);
    auto* find = new QShortcut(QKeySequence::Find, this);
    connect(find, &QShortcut::activated, this, &TfrmMain::cmdSearchClick);

    // Loading is complete: the picker's first choice is C:\ (or the second drive when there is
    // no C:), reported like a user's choice; then FormCreate.
    int first = cbDrives->ItemOfLetter(QLatin1Char('C'));
    if (first < 0 && cbDrives->DriveItemCount() >= 2) first = cbDrives->DriveItem(1);
    if (first >= 0) {
        cbDrives->SelectItem(first);
        triedAtStart_ = cbDrives->itemText(first).startsWith(QLatin1Char('C'));
        cbDrivesChange();
    }
    FormCreate();
}

TfrmMain::~TfrmMain() = default;

void TfrmMain::FormCreate() {
    // The picker's first choice has already tried C:; asking again would read it (and report a
    // failure) twice.
    if (!triedAtStart_) SelectDrive('C');
    panTopResize();
    if (hasDrive_) txtFirstSector->setText(QStringLiteral("Beginning of the drive\nFirst sector: 0"));
}

void TfrmMain::cbDrivesChange() {
    const int index = cbDrives->currentIndex();
    if (index < 0) return;
    switch (cbDrives->KindOf(index)) {
    case TDrivePicker::TItemKind::ikDrive: SelectDrive(cbDrives->itemText(index).at(0).toLatin1()); break;
    case TDrivePicker::TItemKind::ikDevice: SelectDevice(cbDrives->DevicePathOf(index)); break;
    case TDrivePicker::TItemKind::ikOpenDevice: break;
    }
}

TfrmMain::TSelection TfrmMain::Current() const {
    TSelection s;
    s.Valid = hasDrive_;
    s.Letter = TheDirectDisk.DriveName();
    s.Path = QString::fromLocal8Bit(TheDirectDisk.DevicePath().c_str());
    return s;
}

void TfrmMain::SelectDrive(char letter) {
    const TSelection previous = Current();
    const int item = cbDrives->ItemOfLetter(QChar::fromLatin1(letter));
    if (item >= 0) cbDrives->SelectItem(item);
    TheDirectDisk.SetDriveName(letter);
    ShowSelection(QStringLiteral("drive %1:").arg(QChar::fromLatin1(letter)), previous);
}

void TfrmMain::SelectDevice(const QString& path) {
    const TSelection previous = Current();
    cbDrives->SelectItem(cbDrives->AddDevicePath(path));
    TheDirectDisk.SetDevicePath(path.toLocal8Bit().toStdString());
    ShowSelection(path, previous);
}

void TfrmMain::ShowSelection(const QString& name, const TSelection& previous) {
    CheckFloppyDrive();
    const uint32_t count = IsFloppy ? TheDirectDisk.CapacitySectors() : TheDirectDisk.TotalSectors();
    // Sector numbers of the window are signed 32-bit: fewer than two sectors, or more than
    // 2^31, cannot be shown.
    const auto last = static_cast<int32_t>(count - 1u);
    if (last > 0) {
        hasDrive_ = true;
        LastSectorText = FormatSectorNumber(last);
        txtFirstSector->setText(QStringLiteral("Beginning of the drive\nFirst sector: 0"));
        txtLastSector->setText(QStringLiteral("End of the drive\nLast sector: ") + LastSectorText);
        ediCurSector->setEnabled(true);
        TheSectorScroller->setEnabled(true);
        cmdSearch->setEnabled(true);
        TheSectorScroller->setValue(0);
        TheSectorScroller->setMaximum(last);
        TheSectorScroller->setPageStep(std::min(10000, last / 100));
        ShowSector(0);
        return;
    }
    QString text = QStringLiteral("Error reading ") + name;
    const std::string reason = TheDirectDisk.FailureReason();
    if (!reason.empty()) text += QLatin1Char('\n') + QString::fromLocal8Bit(reason.c_str());
    TUserPrompts::Message(this, QMessageBox::Critical, ApplicationTitle, text);
    // Back to the drive shown before, once: when that one fails too (or nothing was shown yet,
    // as at start), the window rests on no drive instead of asking again and again.
    if (fallingBack_ || !previous.Valid) {
        EnterNoDrive();
        return;
    }
    fallingBack_ = true;
    if (previous.Letter == TDirDisk::DevicePathDrive) {
        SelectDevice(previous.Path);
    } else {
        SelectDrive(previous.Letter);
    }
    fallingBack_ = false;
}

void TfrmMain::EnterNoDrive() {
    hasDrive_ = false;
    IsFloppy = false;
    // Forget the failed drive, so that choosing it again queries it again.
    TheDirectDisk.SetDevicePath({});
    LastSectorText.clear();
    txtFirstSector->clear();
    txtLastSector->clear();
    ediCurSector->clear();
    ediCurSector->setEnabled(false);
    TheSectorScroller->setValue(0);
    TheSectorScroller->setMaximum(0);
    TheSectorScroller->setPageStep(0);
    TheSectorScroller->setEnabled(false);
    cmdSearch->setEnabled(false);
    cbDrives->SelectItem(-1);
    TheHexViewer->SetBytes(nullptr, 0);
    StatusBar1->clearMessage();
}

void TfrmMain::CheckFloppyDrive() {
    IsFloppy = false;
    const char letter = TheDirectDisk.DriveName();
    if (letter != 'A' && letter != 'B') return;
    IsFloppy = true;
    uint64_t avail = 0, total = 0, freeBytes = 0;
    uint32_t low = 0;
    if (platform_.GetDiskFreeSpaceEx(std::string(1, letter) + ":\\", avail, total, freeBytes))
        low = static_cast<uint32_t>(total);
    switch (low) {
    case 362496: FloppyFormat = 1; break;
    case 730112: FloppyFormat = 3; break;
    case 1213952: FloppyFormat = 2; break;
    case 1457664: FloppyFormat = 4; break;
    default: FloppyFormat = 0; break;
    }
}

void TfrmMain::ShowSector(int32_t sector) {
    TheHexViewer->BeginUpdate();
    struct Resume {
        THexView* view;
        ~Resume() { view->EndUpdate(); }
    } resume{TheHexViewer};

    ediCurSector->setText(QString::number(sector));
    // During a scroll step the bar's value is still the old one while its new position waits
    // to be applied; setting the value again would throw that step away.
    if (TheSectorScroller->value() != sector) TheSectorScroller->setValue(sector);
    TheDirectDisk.SetFirstSector(static_cast<uint32_t>(sector));
    TheDirectDisk.SetSectors(1);
    const bool read = IsFloppy ? TheDirectDisk.ReadFloppySectors(TheDirectDisk.DriveName(), ReadBuffer.data(), FloppyFormat)
                               : TheDirectDisk.ReadSectors(ReadBuffer.data(), ReadBufferHigh);
    const auto size = static_cast<size_t>(std::clamp<int32_t>(TheDirectDisk.BytesPerSector(), 0, static_cast<int32_t>(ViewBuffer.size())));
    std::memcpy(ViewBuffer.data(), ReadBuffer.data(), size);
    TheHexViewer->SetBytes(ViewBuffer.data(), static_cast<int>(size));
    // The bytes of a failed read are not the sector's; say so rather than pass them off as it.
    if (read) {
        StatusBar1->clearMessage();
    } else {
        StatusBar1->showMessage(QStringLiteral("Sector %1 could not be read: %2")
                                    .arg(FormatSectorNumber(sector), QString::fromLocal8Bit(TheDirectDisk.FailureReason().c_str())));
    }
}

void TfrmMain::panTopResize() {
    const int width = panTop->width();
    Panel1->setGeometry(0, 0, width, 57);
    Panel2->setGeometry(width - 136, 0, 136, 57);
    panTopScroller->setGeometry(8, 64, width - 16, 65);
    const int scrollerWidth = panTopScroller->width();
    TheSectorScroller->setGeometry(0, 65 - 19, scrollerWidth, 19);
    txtFirstSector->setGeometry(0, 0, 177, 65 - 19);
    txtLastSector->setGeometry(scrollerWidth - 214, 0, 214, 65 - 19);
    const int labelWidth = ediCurSectorLabel->sizeHint().width();
    const int free = scrollerWidth - labelWidth - 89;
    const int left = free / 2 + labelWidth;
    ediCurSector->setGeometry(left, 16, 89, 24);
    ediCurSectorLabel->setGeometry(left - 3 - labelWidth, 16, labelWidth, 24);
}

void TfrmMain::OnScrollAction(int action) {
    TScrollCode code = TScrollCode::scTrack;
    switch (action) {
    case QAbstractSlider::SliderSingleStepAdd: code = TScrollCode::scLineDown; break;
    case QAbstractSlider::SliderSingleStepSub: code = TScrollCode::scLineUp; break;
    case QAbstractSlider::SliderPageStepAdd: code = TScrollCode::scPageDown; break;
    case QAbstractSlider::SliderPageStepSub: code = TScrollCode::scPageUp; break;
    case QAbstractSlider::SliderToMinimum: code = TScrollCode::scTop; break;
    case QAbstractSlider::SliderToMaximum: code = TScrollCode::scBottom; break;
    case QAbstractSlider::SliderMove:
        if (TheSectorScroller->isSliderDown()) {
            code = TScrollCode::scTrack;
            break;
        }
        // A wheel turn: one step with no release to follow, so it ends itself.
        QTimer::singleShot(0, this, [this] { TheSectorScrollerScroll(TScrollCode::scEndScroll); });
        return;
    default: return;
    }
    if (code != TScrollCode::scTrack) scrollPending_ = true;
    TheSectorScrollerScroll(code);
}

void TfrmMain::TheSectorScrollerScroll(TScrollCode scrollCode) {
    // The scroll bar applies an action's position after this returns, so a step shows the
    // position before it; the release (end of scroll) then shows the final one.
    if (scrollCode == TScrollCode::scTrack) return;
    if (scrollCode == TScrollCode::scEndScroll || scrollCode == TScrollCode::scPosition) scrollPending_ = false;
    if (!hasDrive_) return;
    ShowSector(TheSectorScroller->value());
}

bool TfrmMain::ediCurSectorKeyPress(int key) {
    if (key != Qt::Key_Return && key != Qt::Key_Enter) return false;
    int32_t sector = 0;
    if (hasDrive_ && TextToInt32(ediCurSector->text(), sector) && sector >= 0 && sector <= TheSectorScroller->maximum()) {
        TheSectorScroller->setValue(sector);
        ShowSector(sector);
    } else {
        TUserPrompts::Message(this, QMessageBox::Critical, QStringLiteral("Error"),
                              QStringLiteral("Invalid value: must be between 0 and ") + LastSectorText);
        ediCurSector->setText(QString::number(TheSectorScroller->value()));
    }
    return true;
}

void TfrmMain::cmdSearchClick() {
    if (frmSearch == nullptr || !hasDrive_) return;
    frmSearch->exec();
    if (frmSearch->FoundSector >= 0) {
        ShowSector(frmSearch->FoundSector);
        // A hit that runs on into the next sector is marked to this sector's end.
        TheHexViewer->SetMark(frmSearch->FoundOffset, frmSearch->FoundLength);
    } else if (frmSearch->Outcome == TfrmSearch::TSearchOutcome::soNotFound) {
        QString text = QStringLiteral("The text was not found.");
        if (frmSearch->UnreadableSectors > 0)
            text += QStringLiteral("\n%1 sectors could not be read and were not searched.").arg(FormatSectorNumber(frmSearch->UnreadableSectors));
        TUserPrompts::Message(this, QMessageBox::Information, ApplicationTitle, text);
    }
}

bool TfrmMain::eventFilter(QObject* watched, QEvent* event) {
    if (watched == panTop && event->type() == QEvent::Resize) {
        panTopResize();
    } else if (watched == ediCurSector && event->type() == QEvent::KeyPress) {
        if (ediCurSectorKeyPress(static_cast<QKeyEvent*>(event)->key())) return true;
    } else if (watched == TheSectorScroller) {
        // The end of a run of steps: the arrow or trough released, or the key let go.
        const bool released =
            (event->type() == QEvent::MouseButtonRelease && !TheSectorScroller->isSliderDown()) ||
            (event->type() == QEvent::KeyRelease && !static_cast<QKeyEvent*>(event)->isAutoRepeat());
        if (released && scrollPending_) TheSectorScrollerScroll(TScrollCode::scEndScroll);
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace inspector
