#pragma once
// Every message box and path question of the inspector goes through here, so that tests can
// answer them instead of a person.
#include <QMessageBox>
#include <QString>
#include <functional>

class QWidget;

namespace inspector {

inline const QString ApplicationTitle = QStringLiteral("Ferrovane Diskloupe");

class TUserPrompts {
public:
    using MessageHandler = std::function<QMessageBox::StandardButton(
        QWidget* parent, QMessageBox::Icon icon, const QString& caption, const QString& text,
        QMessageBox::StandardButtons buttons)>;
    using DevicePathHandler = std::function<QString(QWidget* parent)>;

    // A modal box; the button that closed it.
    static QMessageBox::StandardButton Message(QWidget* parent, QMessageBox::Icon icon, const QString& caption,
                                               const QString& text,
                                               QMessageBox::StandardButtons buttons = QMessageBox::Ok);
    // A disk image file or block device chosen by the user; empty when cancelled.
    static QString AskDevicePath(QWidget* parent);

    // An empty handler puts the real dialogs back.
    static void SetMessageHandler(MessageHandler handler);
    static void SetDevicePathHandler(DevicePathHandler handler);
};

}  // namespace inspector
