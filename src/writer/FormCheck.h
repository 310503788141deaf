#pragma once
// "How to check (advanced users)": starts the inspector and tells of other disk tools.
#include <QDialog>

class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace writer {

class TfrmCheck : public QDialog {
    Q_OBJECT
public:
    // ProgramFolder: where the inspector "fvnscan" is started from.
    TfrmCheck(QWidget* Owner, const QString& ProgramFolder);

    QLabel* lblDiskloupe = nullptr;
    QPushButton* cmdRunInspector = nullptr;
    QPlainTextEdit* memText = nullptr;
    QPushButton* Button1 = nullptr;

    void FormCreate();
    void cmdRunInspectorClick();
    void Button1Click();

private:
    QString FProgramFolder;
};

}  // namespace writer
