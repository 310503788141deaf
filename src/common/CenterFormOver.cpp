#include "common/CenterFormOver.h"

#include <algorithm>

namespace common {

WindowPos CenterFormOver(const WindowRect& reference, const WindowRect& form, const ScreenSize& screen) {
    WindowPos pos;
    // Only the right and bottom edges clip the reference: a window reaching past the left or
    // top edge is taken whole, and the dialog is pulled onto the screen afterwards.
    const int visibleWidth = std::min(reference.Width, screen.Width - reference.Left);
    pos.Left = reference.Left + (visibleWidth - form.Width) / 2;
    const int visibleHeight = std::min(reference.Height, screen.Height - reference.Top);
    pos.Top = reference.Top + (visibleHeight - form.Height) / 2;
    if (pos.Left < 0) pos.Left = 0;
    if (pos.Top < 0) pos.Top = 0;
    // Right and bottom last, so a dialog larger than the screen keeps those edges on it.
    if (pos.Left + form.Width > screen.Width) pos.Left = screen.Width - form.Width;
    if (pos.Top + form.Height > screen.Height) pos.Top = screen.Height - form.Height;
    return pos;
}

}  // namespace common
