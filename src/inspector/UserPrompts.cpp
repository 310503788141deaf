#include "inspector/UserPrompts.h"

#include <QDir>
#include <QFileDialog>

namespace inspector {

namespace {
TUserPrompts::MessageHandler& MessageHook() {
    static TUserPrompts::MessageHandler hook;
    return hook;
}
TUserPrompts::DevicePathHandler& DevicePathHook() {
    static TUserPrompts::DevicePathHandler hook;
    return hook;
}
}  // namespace

QMessageBox::StandardButton TUserPrompts::Message(QWidget* parent, QMessageBox::Icon icon, const QString& caption,
                                                  const QString& text, QMessageBox::StandardButtons buttons) {
    if (MessageHook()) return MessageHook()(parent, icon, caption, text, buttons);
    QMessageBox box(icon, caption, text, buttons, parent);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

QString TUserPrompts::AskDevicePath(QWidget* parent) {
    if (DevicePathHook()) return DevicePathHook()(parent);
    // Qt's own dialog, because it can be told to list the device nodes in /dev as well.
    QFileDialog dialog(parent, QObject::tr("Open image or device"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setFilter(QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot);
    dialog.setNameFilters({QObject::tr("Disk images (*.img *.raw *.dd *.iso *.bin *.ima *.vfd)"),
                           QObject::tr("All files and devices (*)")});
    dialog.setSidebarUrls({QUrl::fromLocalFile(QDir::homePath()), QUrl::fromLocalFile(QStringLiteral("/dev")),
                           QUrl::fromLocalFile(QDir::tempPath())});
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return dialog.selectedFiles().constFirst();
}

void TUserPrompts::SetMessageHandler(MessageHandler handler) { MessageHook() = std::move(handler); }

void TUserPrompts::SetDevicePathHandler(DevicePathHandler handler) { DevicePathHook() = std::move(handler); }

}  // namespace inspector
