#pragma once
// Restores and stores a window's place in the user's settings (see PlacementSettings.h).
#include <QString>

class QWidget;

namespace writer {

// Reads Left and Top (and Width and Height when IncludeSize) before applying any; applies each
// that is stored, then pulls a window that lies on no screen back onto one. Throws
// std::runtime_error for a value that is not text; nothing is applied then.
void RestoreFormPlacement(QWidget* Form, const QString& Key, const QString& Section, bool IncludeSize);

// Stores the window's Left and Top (and Width and Height). Throws std::runtime_error when the
// settings cannot be written.
void SaveFormPlacement(QWidget* Form, const QString& Key, const QString& Section, bool IncludeSize);

// Moves a window that has not been shown yet to the centre of the desktop (all screens).
void CenterOnDesktop(QWidget* Form);

}  // namespace writer
