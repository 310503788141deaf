#pragma once
// The About box: title, version, notices, the maker's address, and the licence on a second tab.
#include <QDialog>

class QLabel;
class QPlainTextEdit;
class QPushButton;
class QTabWidget;

namespace writer {

class TLinkLabel;

class TfrmAbout : public QDialog {
    Q_OBJECT
public:
    // The maker's web page behind txtURL.
    static inline const QString MakerAddress = QStringLiteral("https://ferrovane.example/");

    // ProgramFolder: where "license.txt" is looked for.
    TfrmAbout(QWidget* Owner, const QString& ProgramFolder);

    QTabWidget* PageControl1 = nullptr;
    QLabel* lblTitle = nullptr;
    QLabel* lblVersion = nullptr;
    QLabel* lblNotice1 = nullptr;
    QLabel* lblNotice2 = nullptr;
    TLinkLabel* txtURL = nullptr;
    QPlainTextEdit* memLicense = nullptr;
    QPushButton* cmdOK = nullptr;

    void FormCreate();
    void txtURLClick();
    void cmdOKClick();

private:
    QString FProgramFolder;
};

}  // namespace writer
