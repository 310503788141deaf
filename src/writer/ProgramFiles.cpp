#include "writer/ProgramFiles.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QProcess>
#include <QUrl>

#include "common/PathUtils.h"

namespace writer {

namespace {
TShellHandler& Handler() {
    static TShellHandler handler;
    return handler;
}
}  // namespace

QString ProgramFolder() { return QCoreApplication::applicationDirPath(); }

QString ProgramFile(const QString& Folder, const QString& Name) {
    return QString::fromStdString(common::JoinPath(Folder.toStdString(), Name.toStdString()));
}

TShellHandler SetShellHandler(TShellHandler Handler_) {
    TShellHandler previous = std::move(Handler());
    Handler() = std::move(Handler_);
    return previous;
}

void ShellOpen(TShellAction Action, const QString& Target) {
    if (Handler()) {
        Handler()(Action, Target);
        return;
    }
    switch (Action) {
        case TShellAction::OpenDocument:
            QDesktopServices::openUrl(QUrl::fromLocalFile(Target));
            break;
        case TShellAction::OpenAddress:
            QDesktopServices::openUrl(QUrl(Target));
            break;
        case TShellAction::StartProgram:
            QProcess::startDetached(Target, {});
            break;
    }
}

}  // namespace writer
