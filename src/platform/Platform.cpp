#include "platform/Platform.h"

namespace platform {

namespace {
IPlatform* g_override = nullptr;
}

IPlatform& Platform() { return g_override != nullptr ? *g_override : SystemPlatform(); }

ScopedPlatform::ScopedPlatform(IPlatform& replacement) : previous_(g_override) { g_override = &replacement; }

ScopedPlatform::~ScopedPlatform() { g_override = previous_; }

std::string FailureContext::Text() const {
    std::string text = Operation;
    if (!Path.empty()) text += (text.empty() ? "" : " ") + Path;
    if (Offset >= 0) text += " at " + std::to_string(Offset);
    if (Length >= 0) text += " (" + std::to_string(Length) + " bytes)";
    if (!text.empty()) text += ": ";
    return text + ErrorText(Error);
}

}  // namespace platform
