#pragma once
// The stored window place: text values "Left", "Top" (and "Width", "Height" in the size mode)
// in a section of the user's settings. Qt Core only; FormPlacement applies it to a window.
#include <cstdint>
#include <memory>
#include <vector>

#include <QPoint>
#include <QRect>
#include <QSettings>
#include <QString>

namespace writer {

// Read for a value or section that is missing or does not convert; never applied.
inline constexpr int32_t NoPlacementValue = 2147483647;

struct TFormPlacement {
    int32_t Left = NoPlacementValue;
    int32_t Top = NoPlacementValue;
    int32_t Width = NoPlacementValue;
    int32_t Height = NoPlacementValue;
};

// "Software\Ferrovane\Ferrovane" names QSettings("Ferrovane", "Ferrovane"): the last two parts
// of the key are the organisation and the application.
[[nodiscard]] std::unique_ptr<QSettings> OpenSettingsKey(const QString& key);

// One value of the section: the marker when it is missing or is no signed 32-bit decimal
// number. Throws std::runtime_error "Invalid data type for '<name>'" when it is not text.
[[nodiscard]] int32_t ReadPlacementValue(QSettings& settings, const QString& section, const QString& name);

// All values are read before the caller applies any, so a bad one leaves the window alone.
[[nodiscard]] TFormPlacement ReadFormPlacement(QSettings& settings, const QString& section, bool includeSize);

// Writes Left, Top (and Width, Height) as decimal text and stores them at once. Throws
// std::runtime_error "Failed to set data for '<name>'" when the settings cannot be stored.
void WriteFormPlacement(QSettings& settings, const QString& section, const TFormPlacement& placement,
                        bool includeSize);

// A window whose title strip lies on no screen (monitors changed since it was stored) is moved
// onto the nearest screen; a window that can still be grabbed keeps its place.
[[nodiscard]] QPoint PullOntoScreens(const QRect& frame, const std::vector<QRect>& screens);

}  // namespace writer
