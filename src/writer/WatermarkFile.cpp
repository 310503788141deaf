#include "writer/WatermarkFile.h"

#include <algorithm>
#include <vector>

#include "platform/Platform.h"

namespace writer {

namespace {

// Closes the handle on every way out.
class FileHandle {
public:
    explicit FileHandle(platform::HANDLE handle) : handle_(handle) {}
    ~FileHandle() {
        if (handle_ != platform::INVALID_HANDLE_VALUE) platform::Platform().CloseHandle(handle_);
    }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    [[nodiscard]] platform::HANDLE get() const { return handle_; }
    [[nodiscard]] bool valid() const { return handle_ != platform::INVALID_HANDLE_VALUE; }

private:
    platform::HANDLE handle_;
};

std::string SystemReason() { return platform::ErrorText(platform::Platform().GetLastError()); }

}  // namespace

std::string NormalizeLineBreaks(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 16);
    for (size_t i = 0; i < bytes.size(); ++i) {
        const char c = bytes[i];
        if (c == '\r') {
            out += "\r\n";
            if (i + 1 < bytes.size() && bytes[i + 1] == '\n') ++i;
        } else if (c == '\n') {
            out += "\r\n";
        } else {
            out += c;
        }
    }
    return out;
}

std::string LoadWatermarkFile(const std::string& fileName) {
    platform::IPlatform& os = platform::Platform();
    // Others may read the file meanwhile, not change it.
    FileHandle file(os.CreateFile(fileName, platform::GENERIC_READ, platform::FILE_SHARE_READ,
                                  platform::OPEN_EXISTING, platform::FILE_ATTRIBUTE_NORMAL));
    if (!file.valid()) throw EWatermarkFileError("Cannot open file \"" + fileName + "\". " + SystemReason());

    std::string bytes;
    std::vector<char> chunk(64 * 1024);
    for (;;) {
        uint32_t got = 0;
        if (!os.ReadFile(file.get(), chunk.data(), static_cast<uint32_t>(chunk.size()), got))
            throw EWatermarkFileError("Stream read error");
        if (got == 0) break;
        bytes.append(chunk.data(), got);
    }
    // The text box ends at a NUL, as a C string would.
    if (const size_t nul = bytes.find('\0'); nul != std::string::npos) bytes.resize(nul);
    return NormalizeLineBreaks(bytes);
}

void SaveWatermarkFile(const std::string& fileName, std::string_view text) {
    platform::IPlatform& os = platform::Platform();
    FileHandle file(os.CreateFile(fileName, platform::GENERIC_WRITE, 0, platform::CREATE_ALWAYS,
                                  platform::FILE_ATTRIBUTE_NORMAL));
    if (!file.valid()) throw EWatermarkFileError("Cannot create file \"" + fileName + "\". " + SystemReason());

    size_t done = 0;
    while (done < text.size()) {
        const auto count = static_cast<uint32_t>(std::min<size_t>(text.size() - done, 1u << 20));
        uint32_t written = 0;
        if (!os.WriteFile(file.get(), text.data() + done, count, written) || written != count)
            throw EWatermarkFileError("Stream write error");
        done += written;
    }
}

}  // namespace writer
