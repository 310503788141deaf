// Pictures of the wizard for the documentation: every page, the About box and the how-to-check
// dialog, taken from the X display (run under Xvfb) with ImageMagick's import. The drives are
// capacity-limited temporary folders of this program's own, so the run writes nothing else.
//
//   writer_screenshots OUTPUT_FOLDER
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QProcess>
#include <QProgressBar>
#include <QSettings>
#include <QPushButton>
#include <QThread>
#include <QTimer>

#include <cstdio>

#include "WriterTestSupport.h"
#include "writer/FormMain.h"
#include "writer/MessageBoxes.h"
#include "writer/ProgramFiles.h"

using namespace writertest;

namespace {

QString g_output;

void Settle(int milliseconds = 300) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < milliseconds) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(10);
    }
}

// The part of the screen the widget covers.
void Shoot(QWidget* widget, const QString& name) {
    Settle();
    const QRect frame = widget->frameGeometry();
    const QString file = QDir(g_output).filePath(name);
    const QString crop = QStringLiteral("%1x%2+%3+%4").arg(frame.width()).arg(frame.height()).arg(frame.x()).arg(frame.y());
    const int status = QProcess::execute(QStringLiteral("import"),
                                         {QStringLiteral("-window"), QStringLiteral("root"), QStringLiteral("-crop"), crop,
                                          QStringLiteral("+repage"), file});
    std::printf("%s %s\n", status == 0 ? "wrote" : "FAILED", qPrintable(file));
}

}  // namespace

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: writer_screenshots OUTPUT_FOLDER\n");
        return 2;
    }
    g_output = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(g_output);
    writer::InstallFontSubstitutes();
    QApplication::setApplicationName(QStringLiteral("Quillmore Ferrovane"));

    TDriveSpec data('D', platform::DRIVE_FIXED, 48u << 20, "ext4");
    data.Label = "DATA";
    TDriveSpec stick('E', platform::DRIVE_REMOVABLE, 15u << 20, "vfat");
    stick.Label = "USB STICK";
    TDriveSpec share('N', platform::DRIVE_REMOTE, 512ull << 30, "nfs");
    share.Label = "share";
    TTestDrives drives({data, stick, share});
    TTempFolder program;
    // The window place goes to a folder of this run, not to the user's settings.
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, QString::fromStdString(program.Path()));
    QFile::copy(writer::ProgramFile(writer::ProgramFolder(), QStringLiteral("license.txt")),
                QString::fromStdString(program.File("license.txt")));
    // Nothing in the pictures asks a question; a box would only hold the run.
    writer::TScopedMessageBoxHandler noBoxes([](const writer::TMessageBoxRequest&) { return QMessageBox::No; });
    writer::SetShellHandler([](writer::TShellAction, const QString&) {});

    writer::TfrmMain window(writer::TMainOptions{QString::fromStdString(program.Path()), {}});
    window.TheSpaceEraser->SetWriteSize(256 * 1024);
    window.show();
    Shoot(&window, "writer-page0.png");
    window.cmdNext->click();
    window.memWatermark->setPlainText(QStringLiteral(
        "Property of Jane Example\n12 High Street, Springfield\nPhone +1 555 0100 - reward if found"));
    Shoot(&window, "writer-page1.png");
    window.cmdNext->click();
    Shoot(&window, "writer-page2.png");
    window.cmdNext->click();
    Shoot(&window, "writer-page3.png");

    bool shotDuringRun = false;
    auto original = window.TheSpaceEraser->OnShowProgress;
    window.TheSpaceEraser->OnShowProgress = [&](TEraser* sender, int64_t progress) {
        original(sender, progress);
        if (!shotDuringRun && window.pbProgress->value() >= 40) {
            shotDuringRun = true;
            Shoot(&window, "writer-page4.png");
        }
    };
    window.cmdNext->click();  // Start: returns on the result page
    Shoot(&window, "writer-page5.png");

    QTimer::singleShot(400, [] {
        QWidget* about = QApplication::activeModalWidget();
        if (about == nullptr) return;
        Shoot(about, "writer-about.png");
        about->close();
    });
    window.cmdAbout->click();
    QTimer::singleShot(400, [] {
        QWidget* check = QApplication::activeModalWidget();
        if (check == nullptr) return;
        Shoot(check, "writer-howtocheck.png");
        check->close();
    });
    window.txtHowToCheckClick();
    window.close();

    // The result page when a drive could not be written: its root went away after it was ticked.
    {
        TDriveSpec data2('D', platform::DRIVE_FIXED, 8u << 20, "ext4");
        data2.Label = "DATA";
        TDriveSpec backup('F', platform::DRIVE_FIXED, 8u << 20, "ext4");
        backup.Label = "BACKUP";
        TTestDrives failing({data2, backup});
        writer::TfrmMain second(writer::TMainOptions{QString::fromStdString(program.Path()), {}});
        second.show();
        second.cmdNext->click();
        second.memWatermark->setPlainText(QStringLiteral("Property of Jane Example"));
        second.cmdNext->click();
        second.cmdNext->click();
        QDir().rename(QString::fromStdString(failing.Folder('F')), QString::fromStdString(failing.Folder('F') + "-gone"));
        second.cmdNext->click();
        Shoot(&second, "writer-page5-failed.png");
        second.close();
    }
    return 0;
}
