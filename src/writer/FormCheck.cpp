#include "writer/FormCheck.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>

#include "common/CenterFormOverQt.h"
#include "writer/ProgramFiles.h"

namespace writer {

TfrmCheck::TfrmCheck(QWidget* Owner, const QString& ProgramFolder)
    : QDialog(Owner, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      FProgramFolder(ProgramFolder) {
    setWindowTitle(QStringLiteral("How to check (advanced users)"));
    QFont arial(QStringLiteral("Arial"));
    arial.setPixelSize(13);
    setFont(arial);
    setFixedSize(417, 343);
    setModal(true);

    lblDiskloupe = new QLabel(QStringLiteral("Use our Diskloupe"), this);
    lblDiskloupe->setGeometry(16, 20, 130, 17);
    cmdRunInspector = new QPushButton(QStringLiteral("Run..."), this);
    cmdRunInspector->setGeometry(152, 16, 75, 25);
    cmdRunInspector->setAutoDefault(false);

    memText = new QPlainTextEdit(this);
    memText->setGeometry(16, 56, 385, 232);
    memText->setReadOnly(true);
    memText->setFrameShape(QFrame::NoFrame);
    memText->setFocusPolicy(Qt::NoFocus);
    memText->viewport()->setCursor(Qt::ArrowCursor);
    memText->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    memText->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    memText->setLineWrapMode(QPlainTextEdit::NoWrap);
    QPalette buttonFace = memText->palette();
    buttonFace.setColor(QPalette::Base, buttonFace.color(QPalette::Button));
    memText->setPalette(buttonFace);
    memText->setPlainText(QStringList{
        QStringLiteral("or (recommended):"),
        QString(),
        QStringLiteral("Use any disk editor, disk viewer, unerase program, file recovery"),
        QStringLiteral("tool, disk tool with sector view capabilities or a forensic tool."),
        QStringLiteral("These programs are widely available and they are usually used by"),
        QStringLiteral("the police or other law enforcement personnel."),
        QString(),
        QStringLiteral("You can find such a program on any download site on the Internet"),
        QStringLiteral("or in your favourite computer store."),
        QString(),
        QStringLiteral("We do not recommend a specific program. Use any program you"),
        QStringLiteral("like and trust."),
    }.join(QLatin1Char('\n')));

    Button1 = new QPushButton(QStringLiteral("Close"), this);
    Button1->setGeometry(171, 302, 75, 25);
    Button1->setDefault(true);  // Enter; Esc closes the dialog as well

    connect(cmdRunInspector, &QPushButton::clicked, this, &TfrmCheck::cmdRunInspectorClick);
    connect(Button1, &QPushButton::clicked, this, &TfrmCheck::Button1Click);
    FormCreate();
}

void TfrmCheck::FormCreate() {
    common::CenterFormOver(parentWidget() != nullptr ? parentWidget()->window() : nullptr, this);
}

void TfrmCheck::cmdRunInspectorClick() {
    ShellOpen(TShellAction::StartProgram, ProgramFile(FProgramFolder, QStringLiteral("fvnscan")));
}

void TfrmCheck::Button1Click() { accept(); }

}  // namespace writer
