#include "writer/MessageBoxes.h"

#include <QApplication>
#include <QGuiApplication>

namespace writer {

namespace {
TMessageBoxHandler& Handler() {
    static TMessageBoxHandler handler;
    return handler;
}
}  // namespace

TMessageBoxHandler SetMessageBoxHandler(TMessageBoxHandler Handler_) {
    TMessageBoxHandler previous = std::move(Handler());
    Handler() = std::move(Handler_);
    return previous;
}

QMessageBox::StandardButton MessageBox(QWidget* Parent, const QString& Caption, const QString& Text,
                                       QMessageBox::Icon Icon, QMessageBox::StandardButtons Buttons) {
    if (Handler()) return Handler()(TMessageBoxRequest{Parent, Caption, Text, Icon, Buttons});
    QMessageBox box(Icon, Caption, Text, Buttons, Parent);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

void ShowErrorBox(QWidget* Parent, const QString& Message) {
    MessageBox(Parent, QGuiApplication::applicationDisplayName(), Message, QMessageBox::Critical, QMessageBox::Ok);
}

}  // namespace writer
