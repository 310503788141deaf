#include "writer/LinkLabel.h"

#include <QMouseEvent>

namespace writer {

TLinkLabel::TLinkLabel(const QString& Caption, QWidget* Parent) : QLabel(Caption, Parent) {
    setCursor(Qt::PointingHandCursor);
    // A style sheet keeps the link look when the owner sets the label's font.
    setStyleSheet(QStringLiteral("QLabel { color: blue; text-decoration: underline; }"));
}

void TLinkLabel::mouseReleaseEvent(QMouseEvent* Event) {
    QLabel::mouseReleaseEvent(Event);
    if (Event->button() == Qt::LeftButton && rect().contains(Event->position().toPoint())) emit clicked();
}

}  // namespace writer
