// fvnwriter: writes the owner's watermark over the free space of the chosen drives.
#include <QApplication>

#include "writer/FormMain.h"

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    writer::InstallFontSubstitutes();
    // The title the task bar and the error boxes show.
    QApplication::setApplicationName(QStringLiteral("Quillmore Ferrovane"));
    writer::TfrmMain frmMain;
    frmMain.show();
    return QApplication::exec();
}
