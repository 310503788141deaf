#pragma once
// THexView: the inspector's read-only hex viewer. 16 bytes a row in columns of 2 bytes, row
// offsets as "0x..." counted from the first byte shown, the bytes as characters beside them,
// odd columns blue and even ones navy, and one marked byte range for search hits.
#include <QAbstractScrollArea>
#include <QByteArray>
#include <QString>
#include <cstdint>

namespace inspector {

class THexView : public QAbstractScrollArea {
    Q_OBJECT
public:
    static constexpr int BytesPerRow = 16;
    static constexpr int BytesPerColumn = 2;

    explicit THexView(QWidget* parent = nullptr);

    // Replaces the whole content by a copy of size bytes; clears the selection and the mark and
    // puts the caret on the first row.
    void SetBytes(const uint8_t* data, int size);
    [[nodiscard]] const QByteArray& Bytes() const { return bytes_; }

    // Repainting waits while the counter is above 0; the last EndUpdate repaints once.
    void BeginUpdate();
    void EndUpdate();
    [[nodiscard]] int UpdateCount() const { return updateCount_; }
    // Repaints asked of the window system so far (each sector shown costs one).
    [[nodiscard]] int RepaintRequests() const { return repaintRequests_; }

    // Marks length bytes from offset (cut at the end of the content) and scrolls them into view.
    void SetMark(int offset, int length);
    void ClearMark();
    [[nodiscard]] int MarkOffset() const { return markOffset_; }
    [[nodiscard]] int MarkLength() const { return markLength_; }
    [[nodiscard]] int CaretPosition() const { return caret_; }

    // One row as it is drawn: "0x010  4142 4344 ...  ABCD...".
    [[nodiscard]] QString RowText(int row) const;
    [[nodiscard]] int RowCount() const { return (bytes_.size() + BytesPerRow - 1) / BytesPerRow; }
    // The character shown for a byte: itself where the font can draw it, "." otherwise.
    [[nodiscard]] QChar DisplayChar(uint8_t byte) const;

    [[nodiscard]] QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    void Repaint();
    void UpdateScrollBar();
    void EnsureRowVisible(int row);
    [[nodiscard]] int OffsetDigits() const;
    [[nodiscard]] int HexColumnX(int byteInRow) const;  // in characters from the left
    [[nodiscard]] int CharColumnX(int byteInRow) const;
    [[nodiscard]] int LineHeight() const;
    [[nodiscard]] int CharWidth() const;
    [[nodiscard]] int VisibleRows() const;

    QByteArray bytes_;
    int updateCount_ = 0;
    bool repaintPending_ = false;
    int repaintRequests_ = 0;
    int markOffset_ = -1;
    int markLength_ = 0;
    int caret_ = 0;
};

}  // namespace inspector
