#include "inspector/HexView.h"

#include <QFocusEvent>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionFocusRect>
#include <algorithm>

namespace inspector {

namespace {
constexpr int kMargin = 4;          // pixels left of the offsets and above the first row
constexpr int kGap = 2;             // characters between the offsets, the hex and the characters
const QColor kOddColumn(0, 0, 255);   // blue
const QColor kEvenColumn(0, 0, 128);  // navy
const QColor kMark(255, 230, 0);
}  // namespace

THexView::THexView(QWidget* parent) : QAbstractScrollArea(parent) {
    // Courier New where it exists; the metric twin that Debian ships elsewhere.
    QFont::insertSubstitution(QStringLiteral("Courier New"), QStringLiteral("Liberation Mono"));
    QFont font(QStringLiteral("Courier New"));
    font.setPixelSize(15);
    font.setStyleHint(QFont::TypeWriter);
    font.setFixedPitch(true);
    setFont(font);
    viewport()->setFont(font);
    setFocusPolicy(Qt::StrongFocus);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    QPalette pal = viewport()->palette();
    pal.setColor(QPalette::Base, Qt::white);
    viewport()->setPalette(pal);
    viewport()->setAutoFillBackground(true);
    viewport()->setBackgroundRole(QPalette::Base);
}

void THexView::SetBytes(const uint8_t* data, int size) {
    bytes_ = size > 0 && data != nullptr ? QByteArray(reinterpret_cast<const char*>(data), size) : QByteArray();
    markOffset_ = -1;
    markLength_ = 0;
    caret_ = 0;
    UpdateScrollBar();
    verticalScrollBar()->setValue(0);
    Repaint();
}

void THexView::BeginUpdate() { ++updateCount_; }

void THexView::EndUpdate() {
    if (updateCount_ == 0) return;
    if (--updateCount_ == 0 && repaintPending_) Repaint();
}

void THexView::Repaint() {
    if (updateCount_ > 0) {
        repaintPending_ = true;
        return;
    }
    repaintPending_ = false;
    ++repaintRequests_;
    viewport()->update();
}

void THexView::SetMark(int offset, int length) {
    if (offset < 0 || offset >= bytes_.size() || length <= 0) {
        ClearMark();
        return;
    }
    markOffset_ = offset;
    markLength_ = std::min<int>(length, static_cast<int>(bytes_.size()) - offset);
    caret_ = offset;
    EnsureRowVisible(offset / BytesPerRow);
    Repaint();
}

void THexView::ClearMark() {
    markOffset_ = -1;
    markLength_ = 0;
    Repaint();
}

int THexView::OffsetDigits() const {
    // As many hex digits as the largest row offset needs, at least 3 (a 512-byte sector).
    int last = std::max(0, static_cast<int>(bytes_.size()) - 1);
    int digits = 1;
    while (last >= 16) {
        last /= 16;
        ++digits;
    }
    return std::max(3, digits);
}

int THexView::HexColumnX(int byteInRow) const {
    const int column = byteInRow / BytesPerColumn;
    return 2 + OffsetDigits() + kGap + column * (BytesPerColumn * 2 + 1) + (byteInRow % BytesPerColumn) * 2;
}

int THexView::CharColumnX(int byteInRow) const {
    const int hexWidth = (BytesPerRow / BytesPerColumn) * (BytesPerColumn * 2 + 1) - 1;
    return 2 + OffsetDigits() + kGap + hexWidth + kGap + byteInRow;
}

int THexView::LineHeight() const { return QFontMetrics(font()).height(); }
int THexView::CharWidth() const { return QFontMetrics(font()).horizontalAdvance(QLatin1Char('0')); }
int THexView::VisibleRows() const { return std::max(1, (viewport()->height() - kMargin) / std::max(1, LineHeight())); }

QChar THexView::DisplayChar(uint8_t byte) const {
    if (byte >= 0x20 && byte < 0x7F) return QChar(byte);
    // Bytes as they are: the upper half as its Latin-1 character where the font has one.
    if (byte >= 0xA0 && QFontMetrics(font()).inFont(QChar(byte))) return QChar(byte);
    return QLatin1Char('.');
}

QString THexView::RowText(int row) const {
    const int begin = row * BytesPerRow;
    if (row < 0 || begin >= bytes_.size()) return {};
    QString line = QStringLiteral("0x") + QString::number(begin, 16).toUpper().rightJustified(OffsetDigits(), QLatin1Char('0'));
    line += QString(kGap, QLatin1Char(' '));
    QString chars;
    for (int i = 0; i < BytesPerRow; ++i) {
        const int at = begin + i;
        if (i > 0 && i % BytesPerColumn == 0) line += QLatin1Char(' ');
        if (at < bytes_.size()) {
            const auto b = static_cast<uint8_t>(bytes_[at]);
            line += QString::number(b, 16).toUpper().rightJustified(2, QLatin1Char('0'));
            chars += DisplayChar(b);
        } else {
            line += QStringLiteral("  ");
        }
    }
    return line + QString(kGap, QLatin1Char(' ')) + chars;
}

QSize THexView::sizeHint() const {
    return {kMargin * 2 + CharColumnX(BytesPerRow) * CharWidth() + verticalScrollBar()->sizeHint().width(),
            kMargin + 16 * LineHeight()};
}

void THexView::UpdateScrollBar() {
    const int rows = RowCount();
    verticalScrollBar()->setRange(0, std::max(0, rows - VisibleRows()));
    verticalScrollBar()->setPageStep(VisibleRows());
    verticalScrollBar()->setSingleStep(1);
    const int width = kMargin * 2 + CharColumnX(BytesPerRow) * CharWidth();
    horizontalScrollBar()->setRange(0, std::max(0, width - viewport()->width()));
    horizontalScrollBar()->setPageStep(viewport()->width());
    horizontalScrollBar()->setSingleStep(CharWidth());
}

void THexView::EnsureRowVisible(int row) {
    QScrollBar* bar = verticalScrollBar();
    if (row < bar->value()) {
        bar->setValue(row);
    } else if (row >= bar->value() + VisibleRows()) {
        bar->setValue(row - VisibleRows() + 1);
    }
}

void THexView::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    UpdateScrollBar();
}

void THexView::paintEvent(QPaintEvent*) {
    QPainter p(viewport());
    const int lh = LineHeight();
    const int cw = CharWidth();
    const int ascent = QFontMetrics(font()).ascent();
    const int x0 = kMargin - horizontalScrollBar()->value();
    const int firstRow = verticalScrollBar()->value();
    const int rows = RowCount();
    const int digits = OffsetDigits();

    for (int row = firstRow; row < rows; ++row) {
        const int y = kMargin + (row - firstRow) * lh;
        if (y > viewport()->height()) break;
        const int begin = row * BytesPerRow;
        p.setPen(Qt::black);
        p.drawText(x0, y + ascent,
                   QStringLiteral("0x") + QString::number(begin, 16).toUpper().rightJustified(digits, QLatin1Char('0')));
        for (int i = 0; i < BytesPerRow && begin + i < bytes_.size(); ++i) {
            const int at = begin + i;
            const auto b = static_cast<uint8_t>(bytes_[at]);
            const QRect hexCell(x0 + HexColumnX(i) * cw, y, 2 * cw, lh);
            const QRect charCell(x0 + CharColumnX(i) * cw, y, cw, lh);
            const bool marked = markOffset_ >= 0 && at >= markOffset_ && at < markOffset_ + markLength_;
            if (marked) {
                // Join the marked bytes of one column into one band.
                QRect band = hexCell;
                if (i % BytesPerColumn != BytesPerColumn - 1 && at + 1 < markOffset_ + markLength_) band.setRight(band.right() + cw);
                p.fillRect(band, kMark);
                p.fillRect(charCell, kMark);
            }
            if (at == caret_) {
                if (hasFocus()) {
                    p.fillRect(hexCell, QColor(0, 0, 128));
                } else {
                    p.setPen(QColor(0, 0, 128));
                    p.drawRect(hexCell.adjusted(0, 0, -1, -1));
                }
            }
            const bool oddColumn = ((i / BytesPerColumn) % 2) == 0;  // columns counted from 1
            p.setPen(at == caret_ && hasFocus() ? QColor(Qt::white) : (oddColumn ? kOddColumn : kEvenColumn));
            p.drawText(hexCell.x(), y + ascent, QString::number(b, 16).toUpper().rightJustified(2, QLatin1Char('0')));
            p.setPen(Qt::black);
            p.drawText(charCell.x(), y + ascent, QString(DisplayChar(b)));
        }
    }
    if (hasFocus()) {
        QStyleOptionFocusRect option;
        option.initFrom(this);
        option.rect = viewport()->rect().adjusted(1, 1, -1, -1);
        option.backgroundColor = Qt::white;
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &p, this);
    }
}

void THexView::keyPressEvent(QKeyEvent* event) {
    const int size = static_cast<int>(bytes_.size());
    if (size == 0) {
        QAbstractScrollArea::keyPressEvent(event);
        return;
    }
    int caret = caret_;
    switch (event->key()) {
    case Qt::Key_Left: caret -= 1; break;
    case Qt::Key_Right: caret += 1; break;
    case Qt::Key_Up: caret -= BytesPerRow; break;
    case Qt::Key_Down: caret += BytesPerRow; break;
    case Qt::Key_PageUp: caret -= BytesPerRow * VisibleRows(); break;
    case Qt::Key_PageDown: caret += BytesPerRow * VisibleRows(); break;
    case Qt::Key_Home: caret = (event->modifiers() & Qt::ControlModifier) ? 0 : caret - caret % BytesPerRow; break;
    case Qt::Key_End:
        caret = (event->modifiers() & Qt::ControlModifier) ? size - 1 : caret - caret % BytesPerRow + BytesPerRow - 1;
        break;
    default: QAbstractScrollArea::keyPressEvent(event); return;
    }
    caret_ = std::clamp(caret, 0, size - 1);
    EnsureRowVisible(caret_ / BytesPerRow);
    Repaint();
}

void THexView::mousePressEvent(QMouseEvent* event) {
    setFocus(Qt::MouseFocusReason);
    const int cw = std::max(1, CharWidth());
    const int row = verticalScrollBar()->value() + (static_cast<int>(event->position().y()) - kMargin) / std::max(1, LineHeight());
    const int column = (static_cast<int>(event->position().x()) - kMargin + horizontalScrollBar()->value()) / cw;
    for (int i = 0; i < BytesPerRow; ++i) {
        const bool onHex = column >= HexColumnX(i) && column < HexColumnX(i) + 2;
        const bool onChar = column == CharColumnX(i);
        const int at = row * BytesPerRow + i;
        if ((onHex || onChar) && row >= 0 && at < bytes_.size()) {
            caret_ = at;
            Repaint();
            return;
        }
    }
}

void THexView::focusInEvent(QFocusEvent* event) {
    QAbstractScrollArea::focusInEvent(event);
    Repaint();
}

void THexView::focusOutEvent(QFocusEvent* event) {
    QAbstractScrollArea::focusOutEvent(event);
    Repaint();
}

}  // namespace inspector
