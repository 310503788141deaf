#include "writer/WatermarkText.h"

namespace writer {

std::string WatermarkFromBoxText(const QString& boxText) {
    QString text = boxText;
    // The box may report its own separators; both are line breaks to the user.
    text.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    text.replace(QChar::LineSeparator, QLatin1Char('\n'));
    text.replace(QLatin1String("\n"), QLatin1String("\r\n"));
    const QByteArray bytes = text.toLocal8Bit();
    return std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
}

QString BoxTextFromWatermark(const std::string& watermark) {
    QString text = QString::fromLocal8Bit(watermark.data(), static_cast<qsizetype>(watermark.size()));
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    return text;
}

}  // namespace writer
