#include "writer/FormMain.h"

#include <algorithm>
#include <cmath>

#include <QCloseEvent>
#include <QCoreApplication>
#include <QFile>
#include <QFileDialog>
#include <QFrame>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStackedWidget>

#include "engine/Wipers.h"
#include "platform/Platform.h"
#include "writer/FormAbout.h"
#include "writer/FormCheck.h"
#include "writer/FormPlacement.h"
#include "writer/LeftoverFiles.h"
#include "writer/LinkLabel.h"
#include "writer/MessageBoxes.h"
#include "writer/NextRunDate.h"
#include "writer/ProgramFiles.h"
#include "writer/WatermarkFile.h"
#include "writer/WatermarkText.h"
#include "writer/WriterDefaults.h"
#include "writer/uduDriveListView.h"

// The window's picture lives in this static library's resources, which are only linked in
// when something asks for them.
static void InitWriterResources() { Q_INIT_RESOURCE(fvnwriter); }

namespace writer {

namespace {

const QString Title = QStringLiteral("Quillmore Ferrovane");

QFont FontPx(const char* family, int pixels, bool bold = false) {
    QFont font{QString::fromLatin1(family)};
    font.setPixelSize(pixels);
    font.setBold(bold);
    return font;
}

std::string FileNameBytes(const QString& name) { return QFile::encodeName(name).toStdString(); }

// A label that wraps within its box, text from the top left.
QLabel* PageText(QWidget* page, const QString& text, int x, int y, int width, int height) {
    auto* label = new QLabel(text, page);
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setGeometry(x, y, width, height);
    return label;
}

// A one-line label whose size follows its text.
QLabel* PageLine(QWidget* page, const QString& text, int x, int y) {
    auto* label = new QLabel(text, page);
    label->move(x, y);
    label->adjustSize();
    return label;
}

QLabel* Headline(QWidget* page, const QString& text) {
    QLabel* label = PageText(page, text, 16, 40, 400, 22);
    label->setFont(FontPx("Arial", 16, true));
    return label;
}

}  // namespace

void InstallFontSubstitutes() {
    QFont::insertSubstitution(QStringLiteral("Arial"), QStringLiteral("Liberation Sans"));
    QFont::insertSubstitution(QStringLiteral("MS Sans Serif"), QStringLiteral("Liberation Sans"));
}

TfrmMain::TfrmMain(TMainOptions Options, QWidget* Parent)
    : QWidget(Parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      FProgramFolder(Options.ProgramFolder.isEmpty() ? writer::ProgramFolder() : Options.ProgramFolder),
      FToday(Options.Today ? std::move(Options.Today) : std::function<std::chrono::year_month_day()>(LocalToday)) {
    InstallFontSubstitutes();
    InitWriterResources();
    BuildWindow();
    FormCreate();
}

TfrmMain::~TfrmMain() = default;

void TfrmMain::BuildWindow() {
    setFont(FontPx("MS Sans Serif", 11));
    setFixedSize(616, 418);
    QPalette white = palette();
    white.setColor(QPalette::Window, Qt::white);
    setPalette(white);
    setAutoFillBackground(true);

    imgLeft = new QLabel(this);
    imgLeft->setGeometry(0, 0, 185, 369);
    imgLeft->setAutoFillBackground(true);
    QPalette navy = imgLeft->palette();
    navy.setColor(QPalette::Window, QColor(0, 0, 128));
    imgLeft->setPalette(navy);
    imgLeft->setPixmap(QPixmap(QStringLiteral(":/writer/panel.jpg")));
    imgLeft->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    panButtons = new QWidget(this);
    panButtons->setGeometry(0, 369, 616, 49);
    panButtons->setFont(FontPx("Arial", 13));
    bvlButtons = new QFrame(panButtons);
    bvlButtons->setFrameShape(QFrame::HLine);
    bvlButtons->setFrameShadow(QFrame::Sunken);
    bvlButtons->setGeometry(0, 0, 616, 2);
    auto button = [this](int x) {
        auto* b = new QPushButton(panButtons);
        b->setGeometry(x, 14, 75, 25);
        b->setAutoDefault(false);
        return b;
    };
    cmdHelp = button(16);
    cmdHelp->setText(QStringLiteral("Help"));
    cmdAbout = button(102);
    cmdAbout->setText(QStringLiteral("About..."));
    cmdBack = button(357);
    cmdNext = button(432);
    cmdExit = button(522);

    TheNotebook = new QStackedWidget(this);
    TheNotebook->setGeometry(185, 0, 431, 369);
    TheNotebook->setFont(FontPx("Arial", 13));
    BuildPages();

    dlgOpen = new QFileDialog(this, QStringLiteral("Load watermark"));
    dlgOpen->setNameFilter(QStringLiteral("Ferrovane files (*.fvn)"));
    dlgOpen->setFileMode(QFileDialog::ExistingFile);
    dlgOpen->setAcceptMode(QFileDialog::AcceptOpen);
    dlgSave = new QFileDialog(this, QStringLiteral("Save watermark"));
    dlgSave->setNameFilter(QStringLiteral("Ferrovane files (*.fvn)"));
    dlgSave->setFileMode(QFileDialog::AnyFile);
    dlgSave->setAcceptMode(QFileDialog::AcceptSave);
    dlgSave->setDefaultSuffix(QStringLiteral("fvn"));

    TheSpaceEraser = std::make_unique<TSpaceEraser>(this);
    TheSpaceEraser->SetDirectWrites(true);
    TheSpaceEraser->SetUserBufferSize(0);
    TheSpaceEraser->SetWriteSize(RecommendedWriteSize);
    TheSpaceEraser->OnShowProgress = [this](TEraser* Sender, int64_t Progress) {
        TheSpaceEraserShowProgress(Sender, Progress);
    };

    connect(TheNotebook, &QStackedWidget::currentChanged, this, &TfrmMain::TheNotebookPageChanged);
    connect(cmdNext, &QPushButton::clicked, this, &TfrmMain::cmdNextClick);
    connect(cmdBack, &QPushButton::clicked, this, &TfrmMain::cmdBackClick);
    connect(cmdExit, &QPushButton::clicked, this, &TfrmMain::cmdExitClick);
    connect(cmdHelp, &QPushButton::clicked, this, &TfrmMain::cmdHelpClick);
    connect(cmdAbout, &QPushButton::clicked, this, &TfrmMain::cmdAboutClick);
    connect(txtHowToCheck, &TLinkLabel::clicked, this, &TfrmMain::txtHowToCheckClick);
    connect(txtButtonLoadWatermark, &TLinkLabel::clicked, this, &TfrmMain::txtButtonLoadWatermarkClick);
    connect(txtButtonSaveWatermark, &TLinkLabel::clicked, this, &TfrmMain::txtButtonSaveWatermarkClick);
}

void TfrmMain::BuildPages() {
    auto addPage = [this]() {
        auto* page = new QWidget;
        TheNotebook->addWidget(page);
        return page;
    };
    page0 = addPage();
    page1 = addPage();
    page2 = addPage();
    page3 = addPage();
    page4 = addPage();
    page5 = addPage();

    // page0: Welcome
    Headline(page0, QStringLiteral("Welcome"));
    PageText(page0,
             QStringLiteral("Quillmore Ferrovane gives you a real chance to recover your computer in case it is "
                            "stolen. It also helps you in any dispute over the ownership of your computer, hard disk, "
                            "or any other disk, by allowing you to prove your ownership."),
             16, 72, 400, 73);
    PageText(page0,
             QStringLiteral("Quillmore Ferrovane works by writing a watermark - your name and contact information (or "
                            "any other information you want) on the entire free surface of your drive(s). Your files "
                            "are not modified in any way."),
             16, 152, 400, 49);
    memWelcome = new QPlainTextEdit(page0);
    memWelcome->setGeometry(16, 216, 400, 89);
    memWelcome->setReadOnly(true);
    memWelcome->setFrameShape(QFrame::NoFrame);
    memWelcome->setFocusPolicy(Qt::NoFocus);
    memWelcome->viewport()->setCursor(Qt::ArrowCursor);
    memWelcome->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    memWelcome->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    memWelcome->setLineWrapMode(QPlainTextEdit::NoWrap);
    memWelcome->document()->setDocumentMargin(0);
    memWelcome->setPlainText(QStringList{
        QStringLiteral("Anyone that may inspect your hard disk (computer dealers that the"),
        QStringLiteral("thief is trying to resell your computer to, law enforcement personnel"),
        QStringLiteral("that recovered your stolen computer, people you have a dispute"),
        QStringLiteral("with,"),
        QStringLiteral("etc.) can see the watermark filling the entire disk surface not used"),
        QStringLiteral("by files."),
    }.join(QLatin1Char('\n')));
    PageLine(page0, QStringLiteral("Click Next to continue."), 16, 336);

    // page1: the watermark text
    Headline(page1, QStringLiteral("Select the watermark"));
    PageText(page1,
             QStringLiteral("Please select the text that will be written as a watermark on the entire free surface "
                            "of your drive(s):"),
             16, 72, 393, 41);
    memWatermark = new QPlainTextEdit(page1);
    memWatermark->setGeometry(16, 120, 400, 177);
    memWatermark->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    memWatermark->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    txtButtonLoadWatermark = new TLinkLabel(QStringLiteral("Load watermark"), page1);
    txtButtonLoadWatermark->move(209, 306);
    txtButtonLoadWatermark->adjustSize();
    txtButtonSaveWatermark = new TLinkLabel(QStringLiteral("Save watermark"), page1);
    txtButtonSaveWatermark->move(321, 306);
    txtButtonSaveWatermark->adjustSize();

    // page2: the drives
    Headline(page2, QStringLiteral("Where to write the watermark"));
    PageText(page2,
             QStringLiteral("Please select the drive(s) where you want to write the watermark. You can select the "
                            "hard drive(s) or any removable drive (such as floppy, ZIP, etc.):"),
             16, 72, 400, 57);
    lvDrives = new TuduDriveListView(page2);
    lvDrives->setGeometry(16, 136, 401, 150);
    lvDrives->setFont(FontPx("MS Sans Serif", 11));
    lvDrives->setSelectionBehavior(QAbstractItemView::SelectRows);
    lvDrives->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lvDrives->SetUseShellImages(true);
    lvDrives->header()->setMinimumSectionSize(40);
    // The page's own column list replaces the control's defaults.
    lvDrives->ClearColumns();
    lvDrives->AddColumn(QStringLiteral("Name"), 150, Qt::AlignLeft);
    lvDrives->AddColumn(QStringLiteral("Type"), 120, Qt::AlignLeft);
    lvDrives->AddColumn(QStringLiteral("Total Size"), 100, Qt::AlignRight);
    lvDrives->AddColumn(QStringLiteral("Free Space"), 100, Qt::AlignRight);
    lvDrives->AddColumn(QStringLiteral("File System"), 100, Qt::AlignLeft);
    connect(lvDrives, &QTreeWidget::itemDoubleClicked, this, [this] { lvDrivesDblClick(); });

    // page3: ready
    Headline(page3, QStringLiteral("Ready to start"));
    PageText(page3,
             QStringLiteral("You are now ready to start writing the watermark on the selected drive(s). Please click "
                            "Back to change any settings, or click Start to begin."),
             16, 72, 400, 73);

    // page4: the run
    txtNowAplying = PageText(page4, QString(), 16, 208, 401, 18);
    pbProgress = new QProgressBar(page4);
    pbProgress->setGeometry(16, 232, 401, 25);
    pbProgress->setRange(0, 100);
    pbProgress->setValue(0);
    pbProgress->setTextVisible(true);
    pbProgress->setAlignment(Qt::AlignCenter);
    pbProgress->setFormat(QStringLiteral("%p%"));
    pbProgress->setStyleSheet(QStringLiteral("QProgressBar { background: white; border: 1px solid #808080; "
                                             "color: black; text-align: center; }"
                                             "QProgressBar::chunk { background: navy; }"));
    PageText(page4,
             QStringLiteral("Note: If you get a ''Hard Disk is Full'' message from Windows, please ignore it. The "
                            "condition is only temporary."),
             16, 320, 401, 41);

    // page5: the result
    txtDone = Headline(page5, QString());
    txtHowToCheck = new TLinkLabel(QStringLiteral("How to check (advanced users)"), page5);
    txtHowToCheck->move(16, 88);
    txtHowToCheck->adjustSize();
    PageText(page5,
             QStringLiteral("We also recommend you to run Quillmore Ferrovane periodically in order to make sure that "
                            "you will always have the watermark written on the entire surface of your drive(s), as "
                            "file creation or deletion operations may remove the watermark from some areas."),
             16, 136, 400, 81);
    txtFailures = PageText(page5, QString(), 16, 224, 400, 104);
    txtFailures->setFont(FontPx("Arial", 12));
    txtFailures->setStyleSheet(QStringLiteral("QLabel { color: #a00000; }"));
    txtFailures->hide();
    PageLine(page5, QStringLiteral("Click Exit to exit the program."), 16, 336);
}

void TfrmMain::FormCreate() {
    setWindowTitle(Title);
    CenterOnDesktop(this);
    // The window place and the next-run date never stop the program; an error in the first
    // skips the second.
    try {
        RestoreFormPlacement(this, SettingsKey, SettingsSection, false);
        WriteNextRunDate();
    } catch (...) {
    }
    TheNotebook->setCurrentIndex(0);
    TheNotebookPageChanged(0);
    // The drive list has its rows from its construction on.
    try {
        CleanUpLeftoverFiles();
    } catch (...) {
    }
}

void TfrmMain::WriteNextRunDate() { writer::WriteNextRunDate(FileNameBytes(FProgramFolder), FToday()); }

void TfrmMain::closeEvent(QCloseEvent* Event) {
    FormClose();
    Event->accept();
}

void TfrmMain::FormClose() {
    // A place that cannot be stored is not worth keeping the user from leaving.
    try {
        SaveFormPlacement(this, SettingsKey, SettingsSection, false);
    } catch (...) {
    }
}

void TfrmMain::TheNotebookPageChanged(int Index) {
    switch (Index) {
        case 0:
            cmdExit->setText(QStringLiteral("Exit"));
            cmdBack->setVisible(true);
            cmdBack->setEnabled(false);
            cmdBack->setText(QStringLiteral("< &Back"));
            cmdNext->setVisible(true);
            cmdNext->setEnabled(true);
            cmdNext->setText(QStringLiteral("&Next >"));
            break;
        case 1:
            cmdBack->setEnabled(true);
            try {
                LoadWatermark(ProgramFile(FProgramFolder, QStringLiteral("default.fvn")));
            } catch (...) {
            }
            break;
        case 2:
            cmdNext->setText(QStringLiteral("&Next >"));
            PreselectFixedDrives();
            break;
        case 3:
            cmdNext->setText(QStringLiteral("Start"));
            break;
        case 4:
            RunWatermark();
            break;
        case 5:
            cmdExit->setText(QStringLiteral("Exit"));
            break;
        default:
            break;
    }
}

void TfrmMain::cmdNextClick() {
    const int page = TheNotebook->currentIndex();
    if (page == 2) {
        CollectSelectedDrives();
        if (SelectedDrives.isEmpty()) {
            MessageBox(this, QStringLiteral("No drives selected"),
                       QStringLiteral("Please select at least one drive where you want to write the watermark."),
                       QMessageBox::Critical, QMessageBox::Ok);
            return;
        }
    }
    if (page == 3 && WatermarkText().empty()) {
        // An empty text is no pattern; send the user back to where it is typed.
        MessageBox(this, Title,
                   QStringLiteral("Please type the watermark text, for example your name and contact information, "
                                  "before you start."),
                   QMessageBox::Critical, QMessageBox::Ok);
        cmdNext->setText(QStringLiteral("&Next >"));
        TheNotebook->setCurrentIndex(1);
        memWatermark->setFocus();
        return;
    }
    TheNotebook->setCurrentIndex(page + 1);
}

void TfrmMain::cmdBackClick() { TheNotebook->setCurrentIndex(TheNotebook->currentIndex() - 1); }

void TfrmMain::cmdExitClick() {
    if (cmdExit->text() == QLatin1String("Cancel")) {
        const auto answer = MessageBox(
            this, QStringLiteral("Please confirm"),
            QStringLiteral("Are you sure you want to cancel?\r\n\r\nIf you cancel now, the watermark may not be "
                           "written on the entire free surface of your hard drive(s)."),
            QMessageBox::Question, QMessageBox::Yes | QMessageBox::No);
        if (answer == QMessageBox::Yes) TheSpaceEraser->SetStopRequested(true);
        return;
    }
    close();
}

void TfrmMain::cmdHelpClick() {
    ShellOpen(TShellAction::OpenDocument, ProgramFile(FProgramFolder, QStringLiteral("fvnwriter.html")));
}

void TfrmMain::cmdAboutClick() {
    TfrmAbout box(this, FProgramFolder);
    box.exec();
}

void TfrmMain::txtHowToCheckClick() {
    TfrmCheck dialog(this, FProgramFolder);
    dialog.exec();
}

void TfrmMain::txtButtonLoadWatermarkClick() {
    if (!FLastOpenFile.isEmpty()) dlgOpen->selectFile(FLastOpenFile);
    if (dlgOpen->exec() != QDialog::Accepted || dlgOpen->selectedFiles().isEmpty()) return;
    FLastOpenFile = dlgOpen->selectedFiles().front();
    try {
        LoadWatermark(FLastOpenFile);
    } catch (const std::exception& error) {
        ShowErrorBox(this, QString::fromLocal8Bit(error.what()));
    }
}

void TfrmMain::txtButtonSaveWatermarkClick() {
    if (!FLastSaveFile.isEmpty()) dlgSave->selectFile(FLastSaveFile);
    if (dlgSave->exec() != QDialog::Accepted || dlgSave->selectedFiles().isEmpty()) return;
    FLastSaveFile = dlgSave->selectedFiles().front();
    try {
        SaveWatermark(FLastSaveFile);
    } catch (const std::exception& error) {
        ShowErrorBox(this, QString::fromLocal8Bit(error.what()));
    }
}

void TfrmMain::LoadWatermark(const QString& FileName) {
    const QString text = BoxTextFromWatermark(LoadWatermarkFile(FileNameBytes(FileName)));
    if (text != memWatermark->toPlainText()) memWatermark->setPlainText(text);
}

void TfrmMain::SaveWatermark(const QString& FileName) { SaveWatermarkFile(FileNameBytes(FileName), WatermarkText()); }

std::string TfrmMain::WatermarkText() const { return WatermarkFromBoxText(memWatermark->toPlainText()); }

void TfrmMain::CollectSelectedDrives() {
    SelectedDrives.clear();
    for (int i = 0; i < lvDrives->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* row = lvDrives->topLevelItem(i);
        if (row->checkState(0) != Qt::Checked) continue;
        const QString root = lvDrives->GetItemRootPath(row);
        if (!root.isEmpty()) SelectedDrives += root.front();
    }
}

void TfrmMain::PreselectFixedDrives() {
    platform::IPlatform& os = platform::Platform();
    for (int i = 0; i < lvDrives->topLevelItemCount(); ++i) {
        QTreeWidgetItem* row = lvDrives->topLevelItem(i);
        if (os.GetDriveType(lvDrives->GetItemRootPath(row).toStdString()) == platform::DRIVE_FIXED)
            row->setCheckState(0, Qt::Checked);
        else
            lvDrives->SetItemCut(row, true);
    }
}

void TfrmMain::CleanUpLeftoverFiles() {
    std::vector<std::string> roots;
    for (int i = 0; i < lvDrives->topLevelItemCount(); ++i)
        roots.push_back(lvDrives->GetItemRootPath(lvDrives->topLevelItem(i)).toStdString());
    const std::vector<std::string> files = FindLeftoverFiles(roots);
    if (files.empty()) return;
    const auto answer = MessageBox(
        this, Title,
        QStringLiteral("Quillmore Ferrovane has detected that the last time you have used the program, it was unable "
                       "to complete the process because of a system crash or other fatal error. As a result, one or "
                       "several temporary files created by Quillmore Ferrovane to write the watermark remained on "
                       "disk and are now wasting disk space. Do you want to delete the temporary file(s) and free "
                       "the wasted disk space?"),
        QMessageBox::Question, QMessageBox::Yes | QMessageBox::No);
    // A file that cannot be deleted stays; the question comes again at the next start.
    if (answer == QMessageBox::Yes) (void)DeleteLeftoverFiles(files);
}

void TfrmMain::RunWatermark() {
    cmdNext->setVisible(false);
    cmdBack->setVisible(false);
    cmdExit->setText(QStringLiteral("Cancel"));
    txtFailures->clear();
    txtFailures->hide();

    QString escaped;  // an error that left the run, shown once the result page is up
    try {
        CollectSelectedDrives();
        auto method = std::make_unique<TWipeMethod>();
        method->AddPass()->SetTextPattern(WatermarkText());
        TempFileExtension = TemporaryFileExtension;
        if (TheSpaceEraser->SetWipeMethod(method.get())) {
            struct Release {
                TSpaceEraser& eraser;
                ~Release() { eraser.ReleaseWipeMethod(); }
            } release{*TheSpaceEraser};

            QStringList failures;
            bool written = false;  // at least one drive got its watermark
            bool aborted = false;
            for (const QChar letter : SelectedDrives) {
                const char drive = static_cast<char>(letter.toLatin1());
                txtNowAplying->setText(QStringLiteral("Now writing the watermark on the free space of drive ") +
                                       letter + QLatin1Char(':'));
                const bool ok = TheSpaceEraser->WipeFreeSpace(drive);
                if (TheSpaceEraser->LastDecision() == dAbort || TheSpaceEraser->StopRequested()) {
                    aborted = true;
                    break;
                }
                // The eraser answers failed writes itself (ignore, as there is no handler), so a
                // drive can come back filled and still have lost some of it, or a file behind.
                const auto& failure = TheSpaceEraser->LastFailure();
                if (ok) written = true;
                if (ok && !failure) continue;
                // The drive could not be filled (its root could not be entered or written):
                // the user must not be told that it carries the watermark.
                failures << (ok ? QStringLiteral("Drive %1: was not completely written: %2")
                                : QStringLiteral("Drive %1: was not written: %2"))
                                .arg(letter)
                                .arg(failure ? QString::fromLocal8Bit(failure->Text().c_str())
                                             : QStringLiteral("the drive could not be filled."));
            }
            if (aborted) {
                txtDone->setText(QStringLiteral("Writing the watermark was aborted."));
                txtHowToCheck->setVisible(false);
            } else if (failures.isEmpty()) {
                txtDone->setText(QStringLiteral("Writing the watermark was completed."));
                txtHowToCheck->setVisible(true);
            } else {
                txtDone->setText(QStringLiteral("Writing the watermark failed on some drives."));
                txtHowToCheck->setVisible(written);
            }
            if (!failures.isEmpty()) {
                txtFailures->setText(failures.join(QLatin1Char('\n')));
                txtFailures->show();
            }
        } else {
            // Not even the smallest buffers could be had.
            txtDone->setText(QStringLiteral("There was not enough memory to write the watermark."));
            txtHowToCheck->setVisible(false);
        }
    } catch (const std::exception& error) {
        escaped = QString::fromLocal8Bit(error.what());
    } catch (...) {
        escaped = QStringLiteral("Writing the watermark stopped because of an unexpected error.");
    }
    if (!escaped.isEmpty()) {
        txtDone->setText(QStringLiteral("Writing the watermark was not completed."));
        txtHowToCheck->setVisible(false);
    }
    TheNotebook->setCurrentIndex(5);
    if (!escaped.isEmpty()) ShowErrorBox(this, escaped);
}

void TfrmMain::TheSpaceEraserShowProgress(TEraser* /*Sender*/, int64_t Progress) {
    const int64_t total = TheSpaceEraser->TotalWipeSize();
    const double percent = total > 0 ? std::trunc(static_cast<double>(Progress) * 100.0 / static_cast<double>(total))
                                     : 0.0;
    const int value = static_cast<int>(std::clamp(percent, 0.0, 100.0));
    if (pbProgress->value() != value) pbProgress->setValue(value);
    // The only moment the window reacts during a run: repaint, Cancel, Help, About, close box.
    QCoreApplication::processEvents();
}

}  // namespace writer
