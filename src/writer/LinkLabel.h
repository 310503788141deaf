#pragma once
// A label that acts as a link: blue, underlined, a hand cursor, and a click.
#include <QLabel>

namespace writer {

class TLinkLabel : public QLabel {
    Q_OBJECT
public:
    explicit TLinkLabel(const QString& Caption, QWidget* Parent = nullptr);

signals:
    void clicked();

protected:
    void mouseReleaseEvent(QMouseEvent* Event) override;
};

}  // namespace writer
