#pragma once
// Every message box of the writer goes through here, so tests can answer them: a replaceable
// handler gets the box's caption, text, icon and buttons and returns the button pressed.
#include <functional>

#include <QMessageBox>
#include <QString>

class QWidget;

namespace writer {

struct TMessageBoxRequest {
    QWidget* Parent = nullptr;
    QString Caption;
    QString Text;
    QMessageBox::Icon Icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons Buttons = QMessageBox::Ok;
};

using TMessageBoxHandler = std::function<QMessageBox::StandardButton(const TMessageBoxRequest& Request)>;

// Puts a handler in place (an empty one brings back the real boxes); returns the previous one.
TMessageBoxHandler SetMessageBoxHandler(TMessageBoxHandler Handler);

// Shows a modal box and returns the button pressed.
QMessageBox::StandardButton MessageBox(QWidget* Parent, const QString& Caption, const QString& Text,
                                       QMessageBox::Icon Icon, QMessageBox::StandardButtons Buttons);

// The standard error box for an error that escaped an action: the error's message, the
// application title as caption, the error icon and OK.
void ShowErrorBox(QWidget* Parent, const QString& Message);

// Puts a handler in place for the life of the object.
class TScopedMessageBoxHandler {
public:
    explicit TScopedMessageBoxHandler(TMessageBoxHandler Handler) : previous_(SetMessageBoxHandler(std::move(Handler))) {}
    ~TScopedMessageBoxHandler() { SetMessageBoxHandler(std::move(previous_)); }
    TScopedMessageBoxHandler(const TScopedMessageBoxHandler&) = delete;
    TScopedMessageBoxHandler& operator=(const TScopedMessageBoxHandler&) = delete;

private:
    TMessageBoxHandler previous_;
};

}  // namespace writer
