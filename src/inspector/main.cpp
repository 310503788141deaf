// fvnscan, "Ferrovane Diskloupe": shows a drive's raw sectors and finds the watermark in them.
#include <QApplication>
#include <QFont>

#include "inspector/FormMain.h"
#include "inspector/FormSearch.h"
#include "inspector/UserPrompts.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(inspector::ApplicationTitle);
    QFont::insertSubstitution(QStringLiteral("Arial"), QStringLiteral("Liberation Sans"));
    QFont::insertSubstitution(QStringLiteral("Courier New"), QStringLiteral("Liberation Mono"));

    inspector::TfrmMain frmMain;
    // Created once, right after the window, and kept for the program's life.
    auto* frmSearch = new inspector::TfrmSearch(&frmMain);
    frmMain.frmSearch = frmSearch;
    frmMain.show();
    return QApplication::exec();
}
