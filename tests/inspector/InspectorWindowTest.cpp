#include <unistd.h>
// The inspector window and its search dialog, driven through their controls as a user drives
// them (offscreen), on FAT images and an ext4 image of the test's own; one test reads a real
// loop-mounted volume and skips without root.
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSpinBox>
#include <QStackedWidget>
#include <QStyleOptionSlider>
#include <QTimer>
#include <QtTest>
#include <fstream>
#include <memory>

#include "InspectorImages.h"
#include "LoopVolume.h"
#include "inspector/DrivePicker.h"
#include "inspector/FormMain.h"
#include "inspector/FormSearch.h"
#include "inspector/HexView.h"
#include "inspector/UserPrompts.h"
#include "platform/posix/PosixPlatform.h"
#include "platform/testing/TestPlatform.h"

using namespace inspector;
using namespace inspectortest;
using platform::TestPlatform;

namespace {

struct ShownMessage {
    QMessageBox::Icon Icon;
    QString Caption;
    QString Text;
};

QPoint ScrollBarPart(QScrollBar* bar, QStyle::SubControl part) {
    QStyleOptionSlider option;
    option.initFrom(bar);
    option.orientation = bar->orientation();
    option.minimum = bar->minimum();
    option.maximum = bar->maximum();
    option.sliderPosition = bar->sliderPosition();
    option.sliderValue = bar->value();
    option.singleStep = bar->singleStep();
    option.pageStep = bar->pageStep();
    option.upsideDown = bar->invertedAppearance();
    option.subControls = QStyle::SC_All;
    return bar->style()->subControlRect(QStyle::CC_ScrollBar, &option, part, bar).center();
}

void SendMouse(QWidget* w, QEvent::Type type, QPoint at, Qt::MouseButtons buttons) {
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, at, w->mapToGlobal(at), button, buttons, Qt::NoModifier);
    QApplication::sendEvent(w, &event);
}

}  // namespace

class InspectorWindowTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<TempFolder> tmp_;
    std::unique_ptr<platform::PosixPlatform> posix_;
    std::unique_ptr<TestPlatform> os_;
    std::vector<ShownMessage> messages_;

    // C: 1,000 sectors with the watermark in sector 5 and a text across the end of sector 10;
    // D: 100 sectors; E: 1,000,000; F: 5,000,001; G: a device that is not there.
    void MakeDrives(bool cFails = false) {
        tmp_ = std::make_unique<TempFolder>();
        const std::string c = tmp_->File("c.img");
        QVERIFY(MakeFatImage(c, 1000 * 512, BootSector(512, 1, 1000, 0)));
        QVERIFY(WriteAt(c, 5 * 512 + 100, "Quillmore Ferrovane watermark"));
        QVERIFY(WriteAt(c, 10 * 512 + 508, "ACROSS-BOUNDARY"));
        QVERIFY(MakeFatImage(tmp_->File("d.img"), 100 * 512, BootSector(512, 1, 100, 0)));
        QVERIFY(MakeFatImage(tmp_->File("e.img"), 1 << 20, BootSector(512, 8, 0, 1000000)));
        QVERIFY(MakeFatImage(tmp_->File("f.img"), 1 << 20, BootSector(512, 8, 0, 5000001)));
        UseTable({Drive('C', tmp_->Path(), cFails ? tmp_->File("no-c.img") : c),
                  Drive('D', tmp_->Path(), tmp_->File("d.img")), Drive('E', tmp_->Path(), tmp_->File("e.img")),
                  Drive('F', tmp_->Path(), tmp_->File("f.img")), Drive('G', tmp_->Path(), tmp_->File("missing.img"))});
    }
    void UseTable(std::vector<platform::DriveEntry> table) {
        os_.reset();
        posix_ = std::make_unique<platform::PosixPlatform>(std::move(table));
        os_ = std::make_unique<TestPlatform>(*posix_);
    }
    static void Choose(TfrmMain& w, int item) { w.cbDrives->ChooseItem(item); }
    static void ChooseLetter(TfrmMain& w, char letter) { Choose(w, w.cbDrives->ItemOfLetter(QLatin1Char(letter))); }
    int Reads() const { return os_->CallCount(TestPlatform::Call::ReadVolume); }
    // Runs the dialog as the window opens it, with `operate` acting on it once it is shown.
    static void RunSearch(TfrmMain& w, const std::function<void(TfrmSearch&)>& operate) {
        QTimer::singleShot(0, w.frmSearch, [&w, operate] {
            QVERIFY(w.frmSearch->isVisible());
            operate(*w.frmSearch);
            // A check that failed inside must not leave the modal dialog waiting for a person.
            if (w.frmSearch->isVisible()) w.frmSearch->done(QDialog::Rejected);
        });
        w.cmdSearch->click();
    }
    static void Options(TfrmSearch& d, QRadioButton* from, QRadioButton* direction, const QString& text) {
        from->setChecked(true);
        direction->setChecked(true);
        d.ediSearch->setText(text);
    }

private slots:
    void init() {
        messages_.clear();
        TUserPrompts::SetMessageHandler([this](QWidget*, QMessageBox::Icon icon, const QString& caption, const QString& text,
                                               QMessageBox::StandardButtons) {
            messages_.push_back({icon, caption, text});
            return QMessageBox::Ok;
        });
        TUserPrompts::SetDevicePathHandler([](QWidget*) { return QString(); });
    }
    void cleanup() {
        TUserPrompts::SetMessageHandler({});
        TUserPrompts::SetDevicePathHandler({});
        os_.reset();
        posix_.reset();
        tmp_.reset();
    }

    void startsOnDriveC() {
        MakeDrives();
        TfrmMain w(*os_);
        QCOMPARE(w.windowTitle(), QStringLiteral("Ferrovane Diskloupe"));
        QVERIFY(messages_.empty());
        QVERIFY(w.HasDrive());
        QVERIFY(w.cbDrives->currentText().startsWith(QStringLiteral("C:\\")));
        QCOMPARE(w.txtFirstSector->text(), QStringLiteral("Beginning of the drive\nFirst sector: 0"));
        QCOMPARE(w.txtLastSector->text(), QStringLiteral("End of the drive\nLast sector: 999"));
        QCOMPARE(w.ediCurSector->text(), QStringLiteral("0"));
        QCOMPARE(w.TheSectorScroller->maximum(), 999);
        QVERIFY(w.cmdSearch->isVisibleTo(&w));
        QCOMPARE(w.TheHexViewer->Bytes().size(), 512);
        QVERIFY(w.TheHexViewer->RowText(0).startsWith(QStringLiteral("0x000  EB3C 904D 5344 4F53 352E 3000")));
        // The picker lists the drives and, last, the way to an image or device.
        QCOMPARE(w.cbDrives->itemText(w.cbDrives->count() - 1), TDrivePicker::OpenDeviceText);
        QCOMPARE(w.cbDrives->DriveItemCount(), 5);
    }

    void pageStepFollowsTheLastSector() {
        MakeDrives();
        TfrmMain w(*os_);
        const struct {
            char letter;
            int last;
            int pageStep;
            const char* lastText;
        } cases[] = {{'E', 999999, 9999, "999,999"}, {'F', 5000000, 10000, "5,000,000"}, {'D', 99, 0, "99"}, {'C', 999, 9, "999"}};
        for (const auto& c : cases) {
            ChooseLetter(w, c.letter);
            QVERIFY2(w.cbDrives->currentText().startsWith(QLatin1Char(c.letter)), qPrintable(w.cbDrives->currentText()));
            QCOMPARE(w.TheSectorScroller->maximum(), c.last);
            QCOMPARE(w.TheSectorScroller->pageStep(), c.pageStep);
            QCOMPARE(w.LastSectorText, QString::fromLatin1(c.lastText));
            QCOMPARE(w.ediCurSector->text(), QStringLiteral("0"));
        }
        QVERIFY(messages_.empty());
        // The current drive again: its sector 0, with no new geometry query.
        w.ShowSector(7);
        os_->Reset();
        ChooseLetter(w, 'C');
        QCOMPARE(w.ediCurSector->text(), QStringLiteral("0"));
        QCOMPARE(Reads(), 1);
    }

    void showSectorDrawsItOnce() {
        MakeDrives();
        TfrmMain w(*os_);
        const int repaints = w.TheHexViewer->RepaintRequests();
        os_->Reset();
        w.ShowSector(5);
        QCOMPARE(Reads(), 1);
        QCOMPARE(w.TheHexViewer->RepaintRequests(), repaints + 1);
        QCOMPARE(w.TheHexViewer->UpdateCount(), 0);
        QCOMPARE(w.ediCurSector->text(), QStringLiteral("5"));
        QCOMPARE(w.TheSectorScroller->value(), 5);
        QCOMPARE(w.TheHexViewer->CaretPosition(), 0);
        QCOMPARE(w.TheHexViewer->RowText(6), QStringLiteral("0x060  0000 0000 5175 696C 6C6D 6F72 6520 4665  ....Quillmore Fe"));
        QCOMPARE(w.TheHexViewer->RowText(31).left(5), QStringLiteral("0x1F0"));
        QCOMPARE(w.TheHexViewer->RowCount(), 32);
    }

    void enterTakesASectorNumber_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("shown");  // -1: the invalid-value message
        QTest::newRow("negative") << "-1" << -1;
        QTest::newRow("last + 1") << "1000" << -1;
        QTest::newRow("last") << "999" << 999;
        QTest::newRow("dollar hex") << "$10" << 16;
        QTest::newRow("0x hex") << "0x10" << 16;
        QTest::newRow("leading blanks") << "  42" << 42;
        QTest::newRow("trailing blank") << "42 " << -1;
        QTest::newRow("not a number") << "ten" << -1;
        QTest::newRow("empty") << "" << -1;
    }
    void enterTakesASectorNumber() {
        QFETCH(QString, typed);
        QFETCH(int, shown);
        MakeDrives();
        TfrmMain w(*os_);
        w.show();
        w.ShowSector(3);
        w.ediCurSector->clear();
        os_->Reset();
        QTest::keyClicks(w.ediCurSector, typed);
        QCOMPARE(w.ediCurSector->text(), typed);
        QCOMPARE(Reads(), 0);  // nothing is read before Enter
        QTest::keyClick(w.ediCurSector, Qt::Key_Return);
        if (shown >= 0) {
            QVERIFY(messages_.empty());
            QCOMPARE(w.TheSectorScroller->value(), shown);
            QCOMPARE(w.ediCurSector->text(), QString::number(shown));
            QCOMPARE(Reads(), 1);
        } else {
            QCOMPARE(messages_.size(), size_t{1});
            QCOMPARE(messages_[0].Caption, QStringLiteral("Error"));
            QCOMPARE(messages_[0].Icon, QMessageBox::Critical);
            QCOMPARE(messages_[0].Text, QStringLiteral("Invalid value: must be between 0 and 999"));
            QCOMPARE(w.ediCurSector->text(), QStringLiteral("3"));
            QCOMPARE(Reads(), 0);
        }
    }

    void scrollBarShowsThePositionBeforeEachStep() {
        MakeDrives();
        TfrmMain w(*os_);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QScrollBar* bar = w.TheSectorScroller;
        const QPoint arrow = ScrollBarPart(bar, QStyle::SC_ScrollBarAddLine);

        // While the right arrow is held the view is one step behind; the release catches up.
        os_->Reset();
        SendMouse(bar, QEvent::MouseButtonPress, arrow, Qt::LeftButton);
        QCOMPARE(bar->value(), 1);
        QCOMPARE(w.ediCurSector->text(), QStringLiteral("0"));
        SendMouse(bar, QEvent::MouseButtonRelease, arrow, Qt::NoButton);
        QCOMPARE(w.ediCurSector->text(), QStringLiteral("1"));
        QCOMPARE(Reads(), 2);

        // A page click: the trough right of the thumb moves by the page step (9).
        SendMouse(bar, QEvent::MouseButtonPress, ScrollBarPart(bar, QStyle::SC_ScrollBarAddPage), Qt::LeftButton);
        QCOMPARE(bar->value(), 10);
        QCOMPARE(w.ediCurSector->text(), QStringLiteral("1"));
        SendMouse(bar, QEvent::MouseButtonRelease, ScrollBarPart(bar, QStyle::SC_ScrollBarAddPage), Qt::NoButton);
        QCOMPARE(w.ediCurSector->text(), QStringLiteral("10"));

        // Dragging the thumb reads nothing; its release shows where it stopped.
        os_->Reset();
        const QPoint thumb = ScrollBarPart(bar, QStyle::SC_ScrollBarSlider);
        SendMouse(bar, QEvent::MouseButtonPress, thumb, Qt::LeftButton);
        SendMouse(bar, QEvent::MouseMove, thumb + QPoint(200, 0), Qt::LeftButton);
        SendMouse(bar, QEvent::MouseMove, thumb + QPoint(300, 0), Qt::LeftButton);
        QVERIFY(bar->value() > 10);
        QCOMPARE(Reads(), 0);
        QCOMPARE(w.ediCurSector->text(), QStringLiteral("10"));
        SendMouse(bar, QEvent::MouseButtonRelease, thumb + QPoint(300, 0), Qt::NoButton);
        QCOMPARE(w.ediCurSector->text(), QString::number(bar->value()));
        QCOMPARE(Reads(), 1);
    }

    void failingDriveFallsBackToThePreviousOne() {
        MakeDrives();
        TfrmMain w(*os_);
        w.ShowSector(12);
        ChooseLetter(w, 'G');
        QCOMPARE(messages_.size(), size_t{1});
        QCOMPARE(messages_[0].Caption, QStringLiteral("Ferrovane Diskloupe"));
        QCOMPARE(messages_[0].Icon, QMessageBox::Critical);
        QVERIFY2(messages_[0].Text.startsWith(QStringLiteral("Error reading drive G:\nOpenVolume")), qPrintable(messages_[0].Text));
        QVERIFY(w.HasDrive());
        QVERIFY(w.cbDrives->currentText().startsWith(QStringLiteral("C:\\")));
        QCOMPARE(w.txtLastSector->text(), QStringLiteral("End of the drive\nLast sector: 999"));
        QCOMPARE(w.ediCurSector->text(), QStringLiteral("0"));

        // When the drive to fall back to fails as well, the window rests on no drive.
        QVERIFY(std::filesystem::remove(tmp_->File("c.img")));
        ChooseLetter(w, 'G');
        QCOMPARE(messages_.size(), size_t{3});
        QVERIFY(messages_[2].Text.startsWith(QStringLiteral("Error reading drive C:")));
        QVERIFY(!w.HasDrive());
        QCOMPARE(w.cbDrives->currentIndex(), -1);
        QCOMPARE(w.txtLastSector->text(), QString());
        QCOMPARE(w.txtFirstSector->text(), QString());
        QCOMPARE(w.TheHexViewer->Bytes().size(), 0);
        QVERIFY(!w.cmdSearch->isEnabled());
    }

    void failingDriveAtStartDoesNotLoop() {
        MakeDrives(/*cFails=*/true);
        os_->FailCall(TestPlatform::Call::OpenVolume, 1, platform::ERROR_ACCESS_DENIED, -1);
        TfrmMain w(*os_);
        QCOMPARE(messages_.size(), size_t{1});
        QCOMPARE(messages_[0].Text, ::geteuid() != 0
                                        ? QStringLiteral("Error reading drive C:\nReading raw sectors needs root (Access is denied.)")
                                        : QStringLiteral("Error reading drive C:\nThe system refuses to open \\\\.\\C: for reading (Access is denied.)"));
        QVERIFY(!w.HasDrive());
        QCOMPARE(w.txtLastSector->text(), QString());
        QCOMPARE(w.ediCurSector->text(), QString());
        QCOMPARE(w.TheHexViewer->Bytes().size(), 0);

        os_->Reset();
        ChooseLetter(w, 'D');
        QCOMPARE(messages_.size(), size_t{1});
        QVERIFY(w.HasDrive());
        QCOMPARE(w.txtLastSector->text(), QStringLiteral("End of the drive\nLast sector: 99"));
    }

    void opensAnImageByPath() {
        MakeDrives();
        const std::string image = tmp_->File("ext4.img");
        QVERIFY(MakeImage(image, 16 << 20));
        QCOMPARE(testsupport::Shell("mkfs.ext4 -q -F " + image + " >/dev/null 2>&1"), 0);
        TfrmMain w(*os_);
        const int open = w.cbDrives->count() - 1;

        // Cancelled: back to the drive that was chosen.
        Choose(w, open);
        QVERIFY(w.cbDrives->currentText().startsWith(QStringLiteral("C:\\")));

        TUserPrompts::SetDevicePathHandler([&](QWidget*) { return QString::fromStdString(image); });
        Choose(w, open);
        QVERIFY(messages_.empty());
        QCOMPARE(w.cbDrives->currentText(), QString::fromStdString(image));
        QCOMPARE(w.TheDirectDisk.DriveName(), TDirDisk::DevicePathDrive);
        QCOMPARE(w.txtLastSector->text(), QStringLiteral("End of the drive\nLast sector: 32,767"));
        w.ShowSector(2);
        QCOMPARE(static_cast<uint8_t>(w.TheHexViewer->Bytes()[56]), uint8_t{0x53});
        QCOMPARE(static_cast<uint8_t>(w.TheHexViewer->Bytes()[57]), uint8_t{0xEF});

        // A drive that fails falls back to the image.
        ChooseLetter(w, 'G');
        QCOMPARE(messages_.size(), size_t{1});
        QCOMPARE(w.cbDrives->currentText(), QString::fromStdString(image));
        QVERIFY(w.HasDrive());
    }

    void searchDialogFindsAndMarks() {
        MakeDrives();
        TfrmMain w(*os_);
        auto* dialog = new TfrmSearch(&w);
        w.frmSearch = dialog;
        w.show();

        // As it first opens: from the last sector, backward; the start bounded to the drive.
        RunSearch(w, [](TfrmSearch& d) {
            QCOMPARE(d.windowTitle(), QStringLiteral("Search watermark"));
            QCOMPARE(d.ThePages->currentIndex(), 0);
            QVERIFY(d.rbSearchFromLastSector->isChecked());
            QVERIFY(d.rbSearchBackward->isChecked());
            QCOMPARE(d.ediSearchFromSector->maximum(), 999);
            QCOMPARE(d.ediSearchFromSector->minimum(), 0);
            QCOMPARE(d.TheProgress->maximum(), 1000);
            QCOMPARE(d.height(), 308);
            Options(d, d.rbSearchFromFirstSector, d.rbSearchForward, QStringLiteral("Ferrovane"));
            d.cmdSearch->click();
        });
        QVERIFY(!dialog->isVisible());
        QCOMPARE(dialog->FoundSector, 5);
        QCOMPARE(dialog->FoundOffset, 110);
        QCOMPARE(dialog->FoundLength, 9);
        QCOMPARE(dialog->windowTitle(), QStringLiteral("Searching for Ferrovane"));
        QCOMPARE(dialog->txtDirection->text(), QStringLiteral("Search direction forward ->"));
        QCOMPARE(dialog->txtProgress->text(), QStringLiteral("Searching sector 0..."));
        QCOMPARE(dialog->height(), 168);
        QCOMPARE(w.ediCurSector->text(), QStringLiteral("5"));
        QCOMPARE(w.TheHexViewer->MarkOffset(), 110);
        QCOMPARE(w.TheHexViewer->MarkLength(), 9);
        QVERIFY(messages_.empty());

        // A hit that runs into the next sector is marked to this sector's end.
        RunSearch(w, [](TfrmSearch& d) {
            QCOMPARE(d.FoundSector, -1);
            QCOMPARE(d.ThePages->currentIndex(), 0);
            Options(d, d.rbSearchFromFirstSector, d.rbSearchForward, QStringLiteral("ACROSS-BOUNDARY"));
            d.cmdSearch->click();
        });
        QCOMPARE(w.ediCurSector->text(), QStringLiteral("10"));
        QCOMPARE(w.TheHexViewer->MarkOffset(), 508);
        QCOMPARE(w.TheHexViewer->MarkLength(), 4);

        // Backward from a sector: the hit before it.
        RunSearch(w, [](TfrmSearch& d) {
            Options(d, d.rbSearchFromSector, d.rbSearchBackward, QStringLiteral("watermark"));
            d.ediSearchFromSector->setValue(700);
            d.cmdSearch->click();
        });
        QCOMPARE(dialog->txtDirection->text(), QStringLiteral("Search direction backward <-"));
        QCOMPARE(dialog->FoundSector, 5);
        QCOMPARE(dialog->FoundOffset, 120);
        QCOMPARE(w.ediCurSector->text(), QStringLiteral("5"));

        // Nothing found: said so.
        RunSearch(w, [](TfrmSearch& d) {
            Options(d, d.rbSearchFromFirstSector, d.rbSearchForward, QStringLiteral("ferrovane"));
            d.cmdSearch->click();
        });
        QCOMPARE(messages_.size(), size_t{1});
        QCOMPARE(messages_[0].Text, QStringLiteral("The text was not found."));
        QCOMPARE(messages_[0].Caption, QStringLiteral("Ferrovane Diskloupe"));
        QCOMPARE(w.ediCurSector->text(), QStringLiteral("5"));

        // Cancelled while searching, or closed without searching: no message, no hit.
        RunSearch(w, [](TfrmSearch& d) {
            Options(d, d.rbSearchFromFirstSector, d.rbSearchForward, QStringLiteral("not there"));
            QTimer::singleShot(0, d.cmdCancelSearch, &QPushButton::click);
            d.cmdSearch->click();
        });
        QCOMPARE(dialog->Outcome, TfrmSearch::TSearchOutcome::soCancelled);
        RunSearch(w, [](TfrmSearch& d) { d.cmdCancel->click(); });
        QCOMPARE(dialog->FoundSector, -1);
        QCOMPARE(dialog->Outcome, TfrmSearch::TSearchOutcome::soNone);
        QCOMPARE(messages_.size(), size_t{1});
    }

    void searchFindsTheWatermarkOnARealVolume() {
        if (!testsupport::IsRoot()) QSKIP("needs root to loop-mount a test volume");
        std::string error;
        const auto volume = testsupport::LoopVolume::Create(32 << 20, "ext4", error);
        if (!volume) QSKIP(qPrintable(QString::fromStdString(error)));
        const std::string text = "Quillmore Ferrovane, owner: J. Doe, call 555-0100. ";
        {
            std::ofstream file(volume->MountPoint() + "/owner.txt", std::ios::binary);
            for (int i = 0; i < 200; ++i) file << text;
        }
        QCOMPARE(testsupport::Shell("sync"), 0);

        tmp_ = std::make_unique<TempFolder>();
        QVERIFY(MakeFatImage(tmp_->File("c.img"), 100 * 512, BootSector(512, 1, 100, 0)));
        UseTable({Drive('C', tmp_->Path(), tmp_->File("c.img")),
                  Drive('H', volume->MountPoint(), volume->Device(), platform::DRIVE_FIXED, "ext4")});
        TfrmMain w(*os_);
        w.frmSearch = new TfrmSearch(&w);
        ChooseLetter(w, 'H');
        QVERIFY(messages_.empty());
        QVERIFY(w.HasDrive());
        QCOMPARE(w.TheDirectDisk.TotalSectors(), uint32_t{(32u << 20) / 512});
        QVERIFY(w.TheDirectDisk.GeometryFromDevice());

        RunSearch(w, [](TfrmSearch& d) {
            Options(d, d.rbSearchFromFirstSector, d.rbSearchForward, QStringLiteral("call 555-0100"));
            d.cmdSearch->click();
        });
        QVERIFY(messages_.empty());
        QVERIFY(w.frmSearch->FoundSector > 0);
        const QByteArray shown = w.TheHexViewer->Bytes();
        const int at = w.TheHexViewer->MarkOffset();
        QCOMPARE(at, w.frmSearch->FoundOffset);
        QCOMPARE(shown.mid(at, w.TheHexViewer->MarkLength()), QByteArray("call 555-0100").left(w.TheHexViewer->MarkLength()));
        QCOMPARE(w.ediCurSector->text(), QString::number(w.frmSearch->FoundSector));
    }
};

QTEST_MAIN(InspectorWindowTest)
#include "InspectorWindowTest.moc"
