#pragma once
class QWidget;

namespace common {

// Moves form centred over reference (outer frames, primary screen); nothing when either is null.
void CenterFormOver(QWidget* reference, QWidget* form);

}  // namespace common
