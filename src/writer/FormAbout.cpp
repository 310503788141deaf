#include "writer/FormAbout.h"

#include <QFile>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>

#include "common/CenterFormOverQt.h"
#include "writer/LinkLabel.h"
#include "writer/ProgramFiles.h"

namespace writer {

namespace {
QFont ArialPx(int pixels, bool bold = false) {
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(pixels);
    font.setBold(bold);
    return font;
}

QLabel* WrappingLabel(const QString& text, QWidget* parent, const QRect& place) {
    auto* label = new QLabel(text, parent);
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setGeometry(place);
    return label;
}
}  // namespace

TfrmAbout::TfrmAbout(QWidget* Owner, const QString& ProgramFolder)
    : QDialog(Owner, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      FProgramFolder(ProgramFolder) {
    setWindowTitle(QStringLiteral("About Ferrovane"));
    setFont(ArialPx(13));
    setFixedSize(347, 391);
    setModal(true);

    PageControl1 = new QTabWidget(this);
    PageControl1->setGeometry(8, 8, 331, 338);

    auto* aboutTab = new QWidget;
    lblTitle = WrappingLabel(QStringLiteral("Quillmore Ferrovane"), aboutTab, QRect(16, 16, 295, 30));
    lblTitle->setFont(ArialPx(21, true));
    lblVersion = WrappingLabel(QStringLiteral("Version 1.5"), aboutTab, QRect(16, 54, 295, 18));
    lblNotice1 = WrappingLabel(
        QStringLiteral("Copyright \u00A9 2024 Ferrovane developers. Quillmore Ferrovane is free software, "
                       "released under the MIT License; the License Agreement tab holds its full text."),
        aboutTab, QRect(16, 90, 295, 66));
    lblNotice2 = WrappingLabel(
        QStringLiteral("Ferrovane writes only into the free space of your drives and never changes your files. "
                       "It comes with no warranty of any kind."),
        aboutTab, QRect(16, 166, 295, 66));
    // The line breaks before the address rather than inside it.
    txtURL = new TLinkLabel(QStringLiteral("For more information please visit\n") + MakerAddress, aboutTab);
    txtURL->setWordWrap(true);
    txtURL->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    txtURL->setGeometry(16, 248, 295, 36);
    txtURL->setToolTip(QStringLiteral("Visit Ferrovane online"));
    PageControl1->addTab(aboutTab, QStringLiteral("About"));

    auto* licenseTab = new QWidget;
    memLicense = new QPlainTextEdit(licenseTab);
    memLicense->setReadOnly(true);
    memLicense->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    memLicense->setFont(ArialPx(11));
    memLicense->setGeometry(8, 8, 311, 290);
    QPalette buttonFace = memLicense->palette();
    buttonFace.setColor(QPalette::Base, buttonFace.color(QPalette::Button));
    memLicense->setPalette(buttonFace);
    PageControl1->addTab(licenseTab, QStringLiteral("License Agreement"));
    PageControl1->setCurrentIndex(0);

    cmdOK = new QPushButton(QStringLiteral("OK"), this);
    cmdOK->setGeometry(136, 356, 75, 25);
    cmdOK->setDefault(true);  // Enter; Esc closes the dialog as well

    connect(txtURL, &TLinkLabel::clicked, this, &TfrmAbout::txtURLClick);
    connect(cmdOK, &QPushButton::clicked, this, &TfrmAbout::cmdOKClick);
    FormCreate();
}

void TfrmAbout::FormCreate() {
    QFile license(ProgramFile(FProgramFolder, QStringLiteral("license.txt")));
    // A missing licence leaves the tab empty; nothing is reported.
    if (license.open(QIODevice::ReadOnly)) {
        QString text = QString::fromLocal8Bit(license.readAll());
        text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
        text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
        memLicense->setPlainText(text);
    }
    common::CenterFormOver(parentWidget() != nullptr ? parentWidget()->window() : nullptr, this);
}

void TfrmAbout::txtURLClick() { ShellOpen(TShellAction::OpenAddress, MakerAddress); }

void TfrmAbout::cmdOKClick() { accept(); }

}  // namespace writer
