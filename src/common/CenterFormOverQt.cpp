#include "common/CenterFormOverQt.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include "common/CenterFormOver.h"

namespace common {

void CenterFormOver(QWidget* reference, QWidget* form) {
    if (reference == nullptr || form == nullptr) return;
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (screen == nullptr) return;
    const QRect ref = reference->frameGeometry();
    // A dialog that has not been shown yet has no frame; its frame is then taken as its size.
    const QRect frm = form->frameGeometry();
    const QSize screenSize = screen->size();
    const WindowPos pos = CenterFormOver({ref.x(), ref.y(), ref.width(), ref.height()},
                                         {frm.x(), frm.y(), frm.width(), frm.height()},
                                         {screenSize.width(), screenSize.height()});
    form->move(pos.Left, pos.Top);
}

}  // namespace common
