// The wizard driven through its controls, offscreen, over drives of the test's own.
#include <sys/stat.h>

#include <QApplication>
#include <QFileDialog>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTimer>
#include <QtTest>

#include <filesystem>

#include "LoopVolume.h"
#include "WriterTestSupport.h"
#include "writer/FormAbout.h"
#include "writer/FormCheck.h"
#include "writer/FormMain.h"
#include "writer/LinkLabel.h"
#include "writer/MessageBoxes.h"
#include "writer/ProgramFiles.h"
#include "writer/WatermarkFile.h"
#include "writer/uduDriveListView.h"

using namespace writertest;
using writer::TfrmMain;
using writer::TMessageBoxRequest;

namespace {

const QString Completed = QStringLiteral("Writing the watermark was completed.");
const QString Aborted = QStringLiteral("Writing the watermark was aborted.");
const QString CancelQuestion = QStringLiteral("Please confirm");

// Answers every message box and remembers it.
struct TBoxes {
    std::vector<TMessageBoxRequest> Shown;
    std::function<QMessageBox::StandardButton(const TMessageBoxRequest&)> Answer = [](const TMessageBoxRequest& r) {
        return r.Buttons.testFlag(QMessageBox::Yes) ? QMessageBox::Yes : QMessageBox::Ok;
    };
    writer::TScopedMessageBoxHandler Scope{[this](const TMessageBoxRequest& r) {
        Shown.push_back(r);
        return Answer(r);
    }};
    [[nodiscard]] int Count(const QString& caption) const {
        return static_cast<int>(std::count_if(Shown.begin(), Shown.end(),
                                              [&](const TMessageBoxRequest& r) { return r.Caption == caption; }));
    }
};

// Watches a run from inside the window's progress handler.
struct TRun {
    std::vector<char> Drives;  // in the order they were written
    std::vector<int> Gauge;
    QString Status;            // the status line at the first event
    bool NextVisible = true, BackVisible = true;
    QString ExitCaption;
    std::function<void(TfrmMain&)> AtFirstEvent;

    void Attach(TfrmMain& window) {
        auto original = window.TheSpaceEraser->OnShowProgress;
        window.TheSpaceEraser->OnShowProgress = [this, &window, original](TEraser* sender, int64_t progress) {
            const char drive = window.TheSpaceEraser->Drive();
            const bool first = Drives.empty();
            if (first || Drives.back() != drive) Drives.push_back(drive);
            if (first) {
                Status = window.txtNowAplying->text();
                NextVisible = window.cmdNext->isVisible();
                BackVisible = window.cmdBack->isVisible();
                ExitCaption = window.cmdExit->text();
            }
            original(sender, progress);
            Gauge.push_back(window.pbProgress->value());
            if (first && AtFirstEvent) AtFirstEvent(window);
        };
    }
};

std::chrono::year_month_day Feb25() { return std::chrono::year_month_day{std::chrono::year{2024}, std::chrono::month{2}, std::chrono::day{25}}; }

std::unique_ptr<TfrmMain> MakeWindow(const TTempFolder& programFolder) {
    auto window = std::make_unique<TfrmMain>(writer::TMainOptions{QString::fromStdString(programFolder.Path()), Feb25});
    // Many small writes, so a few MiB give many progress events.
    window->TheSpaceEraser->SetWriteSize(64 * 1024);
    window->show();
    return window;
}

QTreeWidgetItem* Row(TfrmMain& window, int index) { return window.lvDrives->topLevelItem(index); }

void Next(TfrmMain& window) { QTest::mouseClick(window.cmdNext, Qt::LeftButton); }
void Back(TfrmMain& window) { QTest::mouseClick(window.cmdBack, Qt::LeftButton); }

// From the welcome page to the start page with this watermark text; the drive ticks stay as offered.
void ToStartPage(TfrmMain& window, const QString& text) {
    Next(window);
    window.memWatermark->setPlainText(text);
    Next(window);
    Next(window);
}

int Page(TfrmMain& window) { return window.TheNotebook->currentIndex(); }

std::vector<std::string> Temporaries(const std::string& folder) {
    std::vector<std::string> found;
    for (const std::string& name : FolderEntries(folder)) {
        if (name.size() > 7 && name.substr(name.size() - 7) == ".FVNTMP") found.push_back(name);
    }
    return found;
}

// Runs f on the first modal dialog that opens, then lets the test go on.
void OnModal(std::function<void(QWidget*)> f) {
    QTimer::singleShot(0, [f] {
        QWidget* modal = QApplication::activeModalWidget();
        QVERIFY(modal != nullptr);
        f(modal);
    });
}

QString SettingsFile(const QString& base) { return base + "/Ferrovane/Ferrovane.conf"; }

}  // namespace

class FormMainTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<TTempFolder> settingsFolder_;

    void UseSettingsFolder(const QString& folder) {
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, folder);
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, folder);
    }

private slots:
    void init() {
        settingsFolder_ = std::make_unique<TTempFolder>();
        UseSettingsFolder(QString::fromStdString(settingsFolder_->Path()));
    }
    void cleanup() { settingsFolder_.reset(); }

    void sixPagesWithTheirCaptionsAndButtons() {
        TTestDrives drives({{'D', platform::DRIVE_FIXED}, {'E', platform::DRIVE_REMOVABLE}});
        TTempFolder program;
        WriteBytes(program.File("default.fvn"), "Property of A. Owner\r\nPhone 555-0100");
        TBoxes boxes;
        auto window = MakeWindow(program);
        TfrmMain& w = *window;

        QCOMPARE(w.windowTitle(), QStringLiteral("Quillmore Ferrovane"));
        QCOMPARE(w.size(), QSize(616, 418));
        QCOMPARE(Page(w), 0);
        QVERIFY(w.cmdBack->isVisible());
        QVERIFY(!w.cmdBack->isEnabled());
        QCOMPARE(w.cmdBack->text(), QStringLiteral("< &Back"));
        QCOMPARE(w.cmdNext->text(), QStringLiteral("&Next >"));
        QCOMPARE(w.cmdExit->text(), QStringLiteral("Exit"));
        QCOMPARE(w.cmdHelp->geometry(), QRect(16, 14, 75, 25));
        QCOMPARE(w.cmdExit->geometry(), QRect(522, 14, 75, 25));
        QCOMPARE(w.memWelcome->toPlainText().split('\n').size(), 6);

        Next(w);
        QCOMPARE(Page(w), 1);
        QVERIFY(w.cmdBack->isEnabled());
        QCOMPARE(w.memWatermark->toPlainText(), QStringLiteral("Property of A. Owner\nPhone 555-0100"));

        Next(w);
        QCOMPARE(Page(w), 2);
        QCOMPARE(w.lvDrives->topLevelItemCount(), 2);
        QCOMPARE(Row(w, 0)->checkState(0), Qt::Checked);  // fixed
        QCOMPARE(Row(w, 1)->checkState(0), Qt::Unchecked);
        QVERIFY(!w.lvDrives->IsItemCut(Row(w, 0)));
        QVERIFY(w.lvDrives->IsItemCut(Row(w, 1)));  // removable: dimmed icon

        Next(w);
        QCOMPARE(Page(w), 3);
        QCOMPARE(w.cmdNext->text(), QStringLiteral("Start"));
        Back(w);
        QCOMPARE(Page(w), 2);
        QCOMPARE(w.cmdNext->text(), QStringLiteral("&Next >"));
        Back(w);
        QCOMPARE(Page(w), 1);
        Back(w);
        QCOMPARE(Page(w), 0);
        QVERIFY(!w.cmdBack->isEnabled());

        Next(w);
        w.memWatermark->setPlainText(QStringLiteral("edited"));
        Next(w);
        Back(w);  // entering page 1 loads "default.fvn" again
        QCOMPARE(w.memWatermark->toPlainText(), QStringLiteral("Property of A. Owner\nPhone 555-0100"));
        Next(w);
        Next(w);

        TRun run;
        run.Attach(w);
        Next(w);  // Start: returns when the run is over
        QCOMPARE(run.Status, QStringLiteral("Now writing the watermark on the free space of drive D:"));
        QVERIFY(!run.NextVisible);
        QVERIFY(!run.BackVisible);
        QCOMPARE(run.ExitCaption, QStringLiteral("Cancel"));
        QCOMPARE(run.Drives, (std::vector<char>{'D'}));

        QCOMPARE(Page(w), 5);
        QCOMPARE(w.txtDone->text(), Completed);
        QVERIFY(w.txtHowToCheck->isVisible());
        QVERIFY(!w.txtFailures->isVisible());
        QVERIFY(!w.cmdNext->isVisible());
        QVERIFY(!w.cmdBack->isVisible());
        QCOMPARE(w.cmdExit->text(), QStringLiteral("Exit"));
        // The gauge moved through the drive and ended full.
        QVERIFY(std::any_of(run.Gauge.begin(), run.Gauge.end(), [](int v) { return v > 0 && v < 100; }));
        QCOMPARE(w.pbProgress->value(), 100);
        QVERIFY(Temporaries(drives.Folder('D')).empty());
        QVERIFY(boxes.Shown.empty());

        QTest::mouseClick(w.cmdExit, Qt::LeftButton);
        QVERIFY(!w.isVisible());
    }

    void driveListColumnsAndRootPaths() {
        TTestDrives drives({{'C', platform::DRIVE_FIXED}, {'Z', platform::DRIVE_CDROM, 0, "iso9660"}});
        TTempFolder program;
        auto window = MakeWindow(program);
        writer::TuduDriveListView& list = *window->lvDrives;
        const QStringList captions{"Name", "Type", "Total Size", "Free Space", "File System"};
        const int widths[] = {150, 120, 100, 100, 100};
        QCOMPARE(list.columnCount(), 5);
        for (int i = 0; i < 5; ++i) {
            QCOMPARE(list.headerItem()->text(i), captions[i]);
            QCOMPARE(list.columnWidth(i), widths[i]);
        }
        QVERIFY(Row(*window, 0)->textAlignment(2) & Qt::AlignRight);
        QCOMPARE(list.header()->minimumSectionSize(), 40);
        QCOMPARE(list.GetItemRootPath(Row(*window, 0)), QStringLiteral("C:\\"));
        QCOMPARE(list.GetItemRootPath(Row(*window, 1)), QStringLiteral("Z:\\"));
        QCOMPARE(Row(*window, 0)->text(4), QStringLiteral("EXT4"));
        QCOMPARE(Row(*window, 1)->text(4), QString());
        QTreeWidgetItem foreign;  // a row made by other code, without a drive
        QCOMPARE(list.GetItemRootPath(&foreign), QString());
    }

    void nextOnTheDrivePageNeedsATickedDrive() {
        TTestDrives drives({{'A', platform::DRIVE_REMOVABLE}, {'D', platform::DRIVE_FIXED}});
        TTempFolder program;
        TBoxes boxes;
        auto window = MakeWindow(program);
        Next(*window);
        Next(*window);
        Row(*window, 1)->setCheckState(0, Qt::Unchecked);
        Next(*window);
        QCOMPARE(Page(*window), 2);
        QCOMPARE(boxes.Shown.size(), size_t{1});
        QCOMPARE(boxes.Shown[0].Caption, QStringLiteral("No drives selected"));
        QCOMPARE(boxes.Shown[0].Text,
                 QStringLiteral("Please select at least one drive where you want to write the watermark."));
        QCOMPARE(boxes.Shown[0].Icon, QMessageBox::Critical);
        QCOMPARE(boxes.Shown[0].Buttons, QMessageBox::StandardButtons(QMessageBox::Ok));

        Row(*window, 0)->setCheckState(0, Qt::Checked);  // only the floppy: fine
        Next(*window);
        QCOMPARE(Page(*window), 3);
        QCOMPARE(window->SelectedDrives, QStringLiteral("A"));
        // Back on the drive page, the fixed drive is ticked again although the user unticked it.
        Back(*window);
        QCOMPARE(Row(*window, 1)->checkState(0), Qt::Checked);
        QCOMPARE(Row(*window, 0)->checkState(0), Qt::Checked);  // nothing is unticked
    }

    void drivesAreWrittenInRowOrder() {
        TTestDrives drives({{'E', platform::DRIVE_FIXED}, {'D', platform::DRIVE_FIXED}});
        TTempFolder program;
        TBoxes boxes;
        auto window = MakeWindow(program);
        Next(*window);
        window->memWatermark->setPlainText(QStringLiteral("owner"));
        Next(*window);
        // Ticking order does not matter: E ticked last still comes after D.
        Row(*window, 0)->setCheckState(0, Qt::Unchecked);
        Row(*window, 0)->setCheckState(0, Qt::Checked);
        Next(*window);
        TRun run;
        run.Attach(*window);
        Next(*window);
        QCOMPARE(window->SelectedDrives, QStringLiteral("DE"));
        QCOMPARE(run.Drives, (std::vector<char>{'D', 'E'}));
        QCOMPARE(window->txtNowAplying->text(), QStringLiteral("Now writing the watermark on the free space of drive E:"));
        QCOMPARE(window->txtDone->text(), Completed);
    }

    void cancelAnsweredNoGoesOn() {
        TTestDrives drives({{'D', platform::DRIVE_FIXED}, {'E', platform::DRIVE_FIXED}});
        TTempFolder program;
        TBoxes boxes;
        boxes.Answer = [](const TMessageBoxRequest&) { return QMessageBox::No; };
        auto window = MakeWindow(program);
        ToStartPage(*window, QStringLiteral("owner"));
        TRun run;
        run.AtFirstEvent = [](TfrmMain& w) { QTest::mouseClick(w.cmdExit, Qt::LeftButton); };
        run.Attach(*window);
        Next(*window);
        QCOMPARE(boxes.Count(CancelQuestion), 1);
        QCOMPARE(boxes.Shown[0].Text,
                 QStringLiteral("Are you sure you want to cancel?\r\n\r\nIf you cancel now, the watermark may not be "
                                "written on the entire free surface of your hard drive(s)."));
        QCOMPARE(boxes.Shown[0].Icon, QMessageBox::Question);
        QCOMPARE(boxes.Shown[0].Buttons, QMessageBox::Yes | QMessageBox::No);
        QCOMPARE(run.Drives, (std::vector<char>{'D', 'E'}));
        QCOMPARE(window->txtDone->text(), Completed);
        QVERIFY(window->txtHowToCheck->isVisible());
    }

    void cancelAnsweredYesStopsTheRun() {
        TTestDrives drives({{'D', platform::DRIVE_FIXED}, {'E', platform::DRIVE_FIXED}});
        TTempFolder program;
        TBoxes boxes;
        auto window = MakeWindow(program);
        ToStartPage(*window, QStringLiteral("owner"));
        TRun run;
        std::vector<std::string> duringDriveD;
        run.AtFirstEvent = [&](TfrmMain& w) {
            duringDriveD = Temporaries(drives.Folder('D'));
            QTest::mouseClick(w.cmdExit, Qt::LeftButton);
        };
        run.Attach(*window);
        Next(*window);
        QCOMPARE(boxes.Count(CancelQuestion), 1);
        QVERIFY(!duringDriveD.empty());                      // drive D was being written ...
        QVERIFY(Temporaries(drives.Folder('D')).empty());   // ... and its files are gone
        QCOMPARE(run.Drives, (std::vector<char>{'D'}));     // E was not written
        QVERIFY(Temporaries(drives.Folder('E')).empty());
        QVERIFY(run.Gauge.size() == 1);                      // D ended right after the event
        QCOMPARE(window->txtNowAplying->text(), QStringLiteral("Now writing the watermark on the free space of drive D:"));
        QCOMPARE(window->txtDone->text(), Aborted);
        QVERIFY(!window->txtHowToCheck->isVisible());
        QCOMPARE(Page(*window), 5);
        QCOMPARE(window->cmdExit->text(), QStringLiteral("Exit"));
    }

    void emptyTextIsRefusedBeforeTheRun() {
        TTestDrives drives(std::vector<TDriveSpec>{{'D', platform::DRIVE_FIXED}});
        TTempFolder program;  // no default.fvn
        TBoxes boxes;
        auto window = MakeWindow(program);
        Next(*window);
        QCOMPARE(window->memWatermark->toPlainText(), QString());
        Next(*window);
        Next(*window);
        TRun run;
        run.Attach(*window);
        Next(*window);  // Start with an empty box
        QCOMPARE(boxes.Shown.size(), size_t{1});
        QCOMPARE(boxes.Shown[0].Icon, QMessageBox::Critical);
        QVERIFY(boxes.Shown[0].Text.contains(QStringLiteral("watermark text")));
        QVERIFY(run.Drives.empty());  // nothing was written
        QCOMPARE(Page(*window), 1);   // where the text is typed
        QCOMPARE(window->cmdNext->text(), QStringLiteral("&Next >"));
        QVERIFY(window->cmdNext->isVisible());
        QVERIFY(window->cmdBack->isEnabled());

        QTest::keyClicks(window->memWatermark, QStringLiteral("A. Owner"));
        Next(*window);
        Next(*window);
        Next(*window);
        QCOMPARE(window->txtDone->text(), Completed);
    }

    void failedDriveIsNamedOnTheResultPage() {
        TTestDrives drives({{'D', platform::DRIVE_FIXED}, {'E', platform::DRIVE_FIXED}});
        TTempFolder program;
        TBoxes boxes;
        auto window = MakeWindow(program);
        ToStartPage(*window, QStringLiteral("owner"));
        // Drive E's root goes away after it was ticked: it cannot be entered.
        std::filesystem::rename(drives.Folder('E'), drives.Folder('E') + "-gone");
        Next(*window);
        QCOMPARE(Page(*window), 5);
        QVERIFY(window->txtDone->text() != Completed);
        QVERIFY(window->txtDone->text() != Aborted);
        QVERIFY(window->txtFailures->isVisible());
        const QString failures = window->txtFailures->text();
        QVERIFY2(failures.contains(QStringLiteral("Drive E:")), qPrintable(failures));
        QVERIFY2(!failures.contains(QStringLiteral("Drive D:")), qPrintable(failures));
        QVERIFY2(failures.section(QStringLiteral("was not written: "), 1).size() > 3, qPrintable(failures));
        QVERIFY(window->txtHowToCheck->isVisible());  // drive D has its watermark
        QVERIFY(boxes.Shown.empty());
    }

    void driveFilledDespiteFailedWritesIsNotReportedAsCompleted() {
        TTestDrives drives(std::vector<TDriveSpec>{{'D', platform::DRIVE_FIXED}});
        TTempFolder program;
        TBoxes boxes;
        auto window = MakeWindow(program);
        ToStartPage(*window, QStringLiteral("owner"));
        // The eraser's default answer steps over a failed write and goes on to the end.
        drives.Double().FailCall(platform::TestPlatform::Call::WriteFile, 1, platform::ERROR_IO_DEVICE);
        Next(*window);
        QCOMPARE(Page(*window), 5);
        QVERIFY(window->txtDone->text() != Completed);
        const QString failures = window->txtFailures->text();
        QVERIFY2(failures.contains(QStringLiteral("Drive D: was not completely written: writing to file")),
                 qPrintable(failures));
        QVERIFY(window->txtHowToCheck->isVisible());  // most of it is there all the same
    }

    void startUpOffersToDeleteLeftovers_data() {
        QTest::addColumn<bool>("answerYes");
        QTest::addColumn<bool>("readOnlyFirst");
        QTest::newRow("yes") << true << false;
        QTest::newRow("no") << false << false;
        QTest::newRow("yes, one read-only") << true << true;
    }
    void startUpOffersToDeleteLeftovers() {
        QFETCH(bool, answerYes);
        QFETCH(bool, readOnlyFirst);
        TTestDrives drives({{'C', platform::DRIVE_FIXED, 0}, {'E', platform::DRIVE_REMOVABLE, 0}});
        const std::string c = drives.Folder('C');
        WriteBytes(c + "/0A1B2C3D.FVNTMP", "left");
        WriteBytes(c + "/4E5F6071.FVNTMP", "over");
        std::filesystem::create_directories(c + "/sub");
        WriteBytes(c + "/sub/11111111.FVNTMP", "not searched");
        WriteBytes(drives.Folder('E') + "/22222222.FVNTMP", "removable");
        if (readOnlyFirst) QCOMPARE(chmod((c + "/0A1B2C3D.FVNTMP").c_str(), 0444), 0);

        TTempFolder program;
        TBoxes boxes;
        boxes.Answer = [answerYes](const TMessageBoxRequest&) { return answerYes ? QMessageBox::Yes : QMessageBox::No; };
        auto window = MakeWindow(program);
        QCOMPARE(boxes.Shown.size(), size_t{1});  // once for both files, nothing about the read-only one
        QCOMPARE(boxes.Shown[0].Caption, QStringLiteral("Quillmore Ferrovane"));
        QCOMPARE(boxes.Shown[0].Icon, QMessageBox::Question);
        QCOMPARE(boxes.Shown[0].Buttons, QMessageBox::Yes | QMessageBox::No);
        QVERIFY(boxes.Shown[0].Text.startsWith(QStringLiteral("Quillmore Ferrovane has detected that the last time")));
        QVERIFY(boxes.Shown[0].Text.endsWith(QStringLiteral("free the wasted disk space?")));

        std::vector<std::string> expected{"0A1B2C3D.FVNTMP", "4E5F6071.FVNTMP", "sub"};
        if (answerYes) expected = readOnlyFirst ? std::vector<std::string>{"0A1B2C3D.FVNTMP", "sub"}
                                                : std::vector<std::string>{"sub"};
        QCOMPARE(FolderEntries(c), expected);
        QVERIFY(Exists(c + "/sub/11111111.FVNTMP"));
        QVERIFY(Exists(drives.Folder('E') + "/22222222.FVNTMP"));
        QCOMPARE(Page(*window), 0);
    }

    void placementIsSavedAndRestored() {
        TTestDrives drives(std::vector<TDriveSpec>{{'D', platform::DRIVE_FIXED, 0}});
        TTempFolder program;
        TBoxes boxes;
        QCOMPARE(QGuiApplication::screens().size(), 2);  // a monitor left of the primary one
        const QRect desktop = QGuiApplication::primaryScreen()->virtualGeometry();
        const QPoint centre(desktop.left() + (desktop.width() - 616) / 2, desktop.top() + (desktop.height() - 418) / 2);
        {
            auto first = MakeWindow(program);  // first start: centred, nothing stored yet
            QCOMPARE(first->pos(), centre);
            first->move(-1200, 40);
            first->close();
        }
        const std::string stored = ReadBytes(SettingsFile(QString::fromStdString(settingsFolder_->Path())).toStdString());
        QVERIFY2(stored.find("Left=-1200") != std::string::npos, stored.c_str());
        QVERIFY2(stored.find("Top=40") != std::string::npos, stored.c_str());
        QVERIFY(stored.find("Width") == std::string::npos);
        QCOMPARE(MakeWindow(program)->pos(), QPoint(-1200, 40));

        struct Case {
            const char* left;
            const char* top;
            QPoint expected;
        };
        const Case cases[] = {
            {"abc", "40", {centre.x(), 40}},                // letters: not applied; Top still is
            {"2147483647", "40", {centre.x(), 40}},         // the marker: not stored
            {"-1200\nWidth=10\nHeight=10", "40", {-1200, 40}},  // a size written by hand has no effect
        };
        for (const Case& c : cases) {
            WriteBytes(SettingsFile(QString::fromStdString(settingsFolder_->Path())).toStdString(),
                       std::string("[Options]\nLeft=") + c.left + "\nTop=" + c.top + "\n");
            auto window = MakeWindow(program);
            QCOMPARE(window->pos(), c.expected);
            QCOMPARE(window->size(), QSize(616, 418));
        }

        // A place on a monitor that is gone comes back onto a screen.
        WriteBytes(SettingsFile(QString::fromStdString(settingsFolder_->Path())).toStdString(),
                   "[Options]\nLeft=5000\nTop=3000\n");
        auto window = MakeWindow(program);
        const QRect frame(window->pos(), window->size());
        const QList<QScreen*> screens = QGuiApplication::screens();
        QVERIFY2(std::any_of(screens.begin(), screens.end(),
                             [&](const QScreen* s) { return s->geometry().contains(frame); }),
                 qPrintable(QStringLiteral("%1,%2").arg(frame.x()).arg(frame.y())));
        QVERIFY(boxes.Shown.empty());
    }

    void failedPlacementStoreStillCloses() {
        TTestDrives drives(std::vector<TDriveSpec>{{'D', platform::DRIVE_FIXED, 0}});
        TTempFolder program;
        TBoxes boxes;
        // The settings file's place is taken by a folder: storing fails.
        std::filesystem::create_directories(
            SettingsFile(QString::fromStdString(settingsFolder_->Path())).toStdString());
        auto window = MakeWindow(program);
        QVERIFY(window->isVisible());
        QVERIFY(window->close());
        QVERIFY(!window->isVisible());
        QVERIFY(boxes.Shown.empty());
    }

    void nextRunDateIsWrittenAtStart() {
        TTestDrives drives(std::vector<TDriveSpec>{{'D', platform::DRIVE_FIXED, 0}});
        TTempFolder program;
        TBoxes boxes;
        auto window = MakeWindow(program);
        QCOMPARE(ReadBytes(program.File("nextrun.dat")), std::string("2024\r\n3\r\n3\r\n"));

        // A folder that cannot be written: no file, no message, the wizard starts normally.
        TfrmMain second(writer::TMainOptions{QString::fromStdString(program.File("missing")), Feb25});
        QVERIFY(!Exists(program.File("missing/nextrun.dat")));
        QCOMPARE(second.TheNotebook->currentIndex(), 0);
        QVERIFY(boxes.Shown.empty());
    }

    void watermarkFilesThroughTheDialogs() {
        TTestDrives drives(std::vector<TDriveSpec>{{'D', platform::DRIVE_FIXED, 0}});
        TTempFolder program;
        TBoxes boxes;
        auto window = MakeWindow(program);
        Next(*window);
        window->memWatermark->setFocus();
        QTest::keyClicks(window->memWatermark, QStringLiteral("12345678"));
        QTest::keyClick(window->memWatermark, Qt::Key_Return);
        QTest::keyClicks(window->memWatermark, QStringLiteral("abcdefgh"));
        QCOMPARE(window->WatermarkText(), std::string("12345678\r\nabcdefgh"));

        // Saving under a name without extension appends ".fvn".
        OnModal([&](QWidget* modal) {
            auto* dialog = qobject_cast<QFileDialog*>(modal);
            QVERIFY(dialog == window->dlgSave);
            QCOMPARE(dialog->windowTitle(), QStringLiteral("Save watermark"));
            dialog->selectFile(QString::fromStdString(program.File("owner")));
            QMetaObject::invokeMethod(dialog, "accept", Qt::DirectConnection);
        });
        QTest::mouseClick(window->txtButtonSaveWatermark, Qt::LeftButton);
        QCOMPARE(ReadBytes(program.File("owner.fvn")), std::string("12345678\r\nabcdefgh"));

        WriteBytes(program.File("other.fvn"), "A\nB\rC");
        OnModal([&](QWidget* modal) {
            auto* dialog = qobject_cast<QFileDialog*>(modal);
            QVERIFY(dialog == window->dlgOpen);
            QCOMPARE(dialog->windowTitle(), QStringLiteral("Load watermark"));
            dialog->selectFile(QString::fromStdString(program.File("other.fvn")));
            QMetaObject::invokeMethod(dialog, "accept", Qt::DirectConnection);
        });
        QTest::mouseClick(window->txtButtonLoadWatermark, Qt::LeftButton);
        QCOMPARE(window->memWatermark->toPlainText(), QStringLiteral("A\nB\nC"));
        QCOMPARE(window->WatermarkText(), std::string("A\r\nB\r\nC"));

        // A file that cannot be opened: the error box, the text stays.
        bool refused = false;
        try {
            window->LoadWatermark(QString::fromStdString(program.File("none.fvn")));
        } catch (const writer::EWatermarkFileError& error) {
            refused = QString::fromLocal8Bit(error.what()).startsWith(QStringLiteral("Cannot open file \""));
        }
        QVERIFY(refused);
        QCOMPARE(window->memWatermark->toPlainText(), QStringLiteral("A\nB\nC"));
    }

    void helpAboutAndHowToCheck() {
        TTestDrives drives(std::vector<TDriveSpec>{{'D', platform::DRIVE_FIXED, 0}});
        TTempFolder program;
        WriteBytes(program.File("license.txt"), "MIT License\n\nCopyright\n");
        TBoxes boxes;
        std::vector<std::pair<writer::TShellAction, QString>> opened;
        const auto previous = writer::SetShellHandler(
            [&](writer::TShellAction action, const QString& target) { opened.emplace_back(action, target); });
        auto window = MakeWindow(program);
        const QString folder = QString::fromStdString(program.Path());

        QTest::mouseClick(window->cmdHelp, Qt::LeftButton);
        QCOMPARE(opened.size(), size_t{1});
        QCOMPARE(opened[0].first, writer::TShellAction::OpenDocument);
        QCOMPARE(opened[0].second, folder + "/fvnwriter.html");

        bool aboutSeen = false;
        OnModal([&](QWidget* modal) {
            auto* about = qobject_cast<writer::TfrmAbout*>(modal);
            QVERIFY(about != nullptr);
            aboutSeen = true;
            QCOMPARE(about->windowTitle(), QStringLiteral("About Ferrovane"));
            QCOMPARE(about->PageControl1->tabText(0), QStringLiteral("About"));
            QCOMPARE(about->PageControl1->tabText(1), QStringLiteral("License Agreement"));
            QCOMPARE(about->PageControl1->currentIndex(), 0);
            QCOMPARE(about->lblVersion->text(), QStringLiteral("Version 1.5"));
            QCOMPARE(about->memLicense->toPlainText(), QStringLiteral("MIT License\n\nCopyright\n"));
            QCOMPARE(about->txtURL->toolTip(), QStringLiteral("Visit Ferrovane online"));
            QTest::mouseClick(about->txtURL, Qt::LeftButton);
            QTest::mouseClick(about->cmdOK, Qt::LeftButton);
        });
        QTest::mouseClick(window->cmdAbout, Qt::LeftButton);
        QVERIFY(aboutSeen);
        QCOMPARE(opened.size(), size_t{2});
        QCOMPARE(opened[1].first, writer::TShellAction::OpenAddress);
        QVERIFY(opened[1].second.startsWith(QStringLiteral("https://")));

        bool checkSeen = false;
        OnModal([&](QWidget* modal) {
            auto* check = qobject_cast<writer::TfrmCheck*>(modal);
            QVERIFY(check != nullptr);
            checkSeen = true;
            QCOMPARE(check->windowTitle(), QStringLiteral("How to check (advanced users)"));
            QCOMPARE(check->memText->toPlainText().split('\n').size(), 12);
            QTest::mouseClick(check->cmdRunInspector, Qt::LeftButton);
            QTest::mouseClick(check->cmdRunInspector, Qt::LeftButton);
            QVERIFY(check->isVisible());  // stays open after each start
            QTest::mouseClick(check->Button1, Qt::LeftButton);
        });
        window->txtHowToCheckClick();
        QVERIFY(checkSeen);
        QCOMPARE(opened.size(), size_t{4});
        QCOMPARE(opened[2].first, writer::TShellAction::StartProgram);
        QCOMPARE(opened[3].second, folder + "/fvnscan");
        writer::SetShellHandler(previous);
    }

    void runOverOwnLoopMountedVolume() {
        std::string why;
        const auto volume = testsupport::LoopVolume::Create(64u << 20, "ext4", why);
        if (!volume) QSKIP(why.c_str());
        TTestDrives drives(std::vector<TDriveSpec>{{'E', platform::DRIVE_FIXED, 0, "ext4", volume->MountPoint()}});
        TTempFolder program;
        const QString text = QStringLiteral("Ferrovane test owner\nReturn to QA, phone 555-0100");
        WriteBytes(program.File("default.fvn"), "Ferrovane test owner\r\nReturn to QA, phone 555-0100");
        TBoxes boxes;
        auto window = std::make_unique<TfrmMain>(writer::TMainOptions{QString::fromStdString(program.Path()), Feb25});
        window->show();
        Next(*window);
        QCOMPARE(window->memWatermark->toPlainText(), text);
        Next(*window);
        QCOMPARE(Row(*window, 0)->checkState(0), Qt::Checked);
        Next(*window);
        uint64_t freeBefore = 0, total = 0, totalFree = 0;
        QVERIFY(platform::Platform().GetDiskFreeSpaceEx("E:\\", freeBefore, total, totalFree));
        TRun run;
        run.Attach(*window);
        Next(*window);
        QCOMPARE(window->txtDone->text(), Completed);
        QVERIFY(window->txtHowToCheck->isVisible());
        QVERIFY(std::any_of(run.Gauge.begin(), run.Gauge.end(), [](int v) { return v > 0 && v < 100; }));
        QVERIFY(std::is_sorted(run.Gauge.begin(), run.Gauge.end()));
        QVERIFY(Temporaries(volume->MountPoint()).empty());
        window.reset();

        volume->Unmount();
        const std::string surface = ReadBytes(volume->Image());
        const std::string mark = "Ferrovane test owner\r\nReturn to QA, phone 555-0100";
        size_t copies = 0;
        for (size_t at = surface.find(mark); at != std::string::npos; at = surface.find(mark, at + mark.size())) ++copies;
        // The free space before the run now holds the text, bar the blocks new files take.
        QVERIFY2(copies * mark.size() > freeBefore / 10 * 9,
                 qPrintable(QStringLiteral("%1 of %2 bytes").arg(copies * mark.size()).arg(freeBefore)));
    }
};

QTEST_MAIN(FormMainTest)
#include "FormMainTest.moc"
