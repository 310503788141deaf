#pragma once
// The program's own files lie next to its executable, never in the current folder; and the
// shell's open operation, behind a replaceable handler so tests start nothing.
#include <functional>

#include <QString>

namespace writer {

// The folder of the running executable.
[[nodiscard]] QString ProgramFolder();

// Folder joined with a file name by the path joining rule.
[[nodiscard]] QString ProgramFile(const QString& Folder, const QString& Name);

enum class TShellAction { OpenDocument, OpenAddress, StartProgram };

using TShellHandler = std::function<void(TShellAction Action, const QString& Target)>;

// Puts a handler in place (an empty one brings back the real shell); returns the previous one.
TShellHandler SetShellHandler(TShellHandler Handler);

// Opens a file with the system's viewer, an address with the browser, or starts a program
// without arguments; does not wait and reports nothing.
void ShellOpen(TShellAction Action, const QString& Target);

}  // namespace writer
