#pragma once
// Places a dialog centred over the part of another window that lies on the screen and keeps
// it on the screen. Pure geometry (outer window rectangles, screen origin at 0, 0); the Qt
// adapter in CenterFormOverQt.h applies it to widgets.
namespace common {

struct WindowRect {
    int Left = 0;
    int Top = 0;
    int Width = 0;
    int Height = 0;
};

struct ScreenSize {
    int Width = 0;
    int Height = 0;
};

struct WindowPos {
    int Left = 0;
    int Top = 0;
    bool operator==(const WindowPos&) const = default;
};

// Returns the form's new left and top edges.
[[nodiscard]] WindowPos CenterFormOver(const WindowRect& reference, const WindowRect& form, const ScreenSize& screen);

}  // namespace common
