#pragma once
// The watermark text and the text box's content. The box (QPlainTextEdit) separates lines with
// "\n"; the watermark joins them with CR LF in the local 8-bit encoding, which is also the
// encoding the inspector's search uses, so a text written is a text found.
#include <string>

#include <QString>

namespace writer {

// Lines joined by CR LF, no line break added at the end.
[[nodiscard]] std::string WatermarkFromBoxText(const QString& boxText);

// The reverse: a watermark (CR LF line breaks) as the box's content.
[[nodiscard]] QString BoxTextFromWatermark(const std::string& watermark);

}  // namespace writer
