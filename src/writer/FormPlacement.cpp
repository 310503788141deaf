#include "writer/FormPlacement.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include "writer/PlacementSettings.h"

namespace writer {

namespace {

std::vector<QRect> ScreenRects() {
    std::vector<QRect> rects;
    for (const QScreen* screen : QGuiApplication::screens()) rects.push_back(screen->geometry());
    return rects;
}

// The outer rectangle; a window not yet shown has no frame, so its size stands for it.
QRect OuterRect(const QWidget* form) {
    return QRect(form->pos(), form->frameGeometry().size().expandedTo(form->size()));
}

}  // namespace

void RestoreFormPlacement(QWidget* Form, const QString& Key, const QString& Section, bool IncludeSize) {
    const auto settings = OpenSettingsKey(Key);
    const TFormPlacement stored = ReadFormPlacement(*settings, Section, IncludeSize);
    if (stored.Left != NoPlacementValue) Form->move(stored.Left, Form->pos().y());
    if (stored.Top != NoPlacementValue) Form->move(Form->pos().x(), stored.Top);
    if (IncludeSize) {
        if (stored.Width != NoPlacementValue) Form->resize(stored.Width, Form->height());
        if (stored.Height != NoPlacementValue) Form->resize(Form->width(), stored.Height);
    }
    const QPoint onScreen = PullOntoScreens(OuterRect(Form), ScreenRects());
    if (onScreen != Form->pos()) Form->move(onScreen);
}

void SaveFormPlacement(QWidget* Form, const QString& Key, const QString& Section, bool IncludeSize) {
    const auto settings = OpenSettingsKey(Key);
    TFormPlacement placement;
    placement.Left = Form->pos().x();
    placement.Top = Form->pos().y();
    placement.Width = Form->width();
    placement.Height = Form->height();
    WriteFormPlacement(*settings, Section, placement, IncludeSize);
}

void CenterOnDesktop(QWidget* Form) {
    const QScreen* primary = QGuiApplication::primaryScreen();
    if (primary == nullptr) return;
    const QRect desktop = primary->virtualGeometry();
    const QSize size = OuterRect(Form).size();
    Form->move(desktop.left() + (desktop.width() - size.width()) / 2,
               desktop.top() + (desktop.height() - size.height()) / 2);
}

}  // namespace writer
