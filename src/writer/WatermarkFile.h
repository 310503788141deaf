#pragma once
// Watermark files (".fvn"): the text byte for byte, no header, no terminator. Shared by the
// wizard's load and save links and by `fvn write --file`. No Qt here, so the command-line
// program can use it without a GUI library.
#include <stdexcept>
#include <string>
#include <string_view>

namespace writer {

// A file could not be opened, created, read or written; what() is the text shown to the user.
class EWatermarkFileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// CR LF, a lone CR and a lone LF all become one CR LF (so LF CR gives two line breaks).
[[nodiscard]] std::string NormalizeLineBreaks(std::string_view bytes);

// The file's text as the text box takes it: line breaks normalised, cut at the first NUL.
// Throws EWatermarkFileError: "Cannot open file "<name>". <reason>" or "Stream read error".
[[nodiscard]] std::string LoadWatermarkFile(const std::string& fileName);

// Creates or truncates the file and writes the text exactly, nothing added.
// Throws EWatermarkFileError: "Cannot create file "<name>". <reason>" or "Stream write error".
void SaveWatermarkFile(const std::string& fileName, std::string_view text);

}  // namespace writer
