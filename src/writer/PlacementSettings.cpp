#include "writer/PlacementSettings.h"

#include <algorithm>
#include <climits>
#include <stdexcept>

#include <QStringList>

namespace writer {

std::unique_ptr<QSettings> OpenSettingsKey(const QString& key) {
    const QStringList parts = key.split(QLatin1Char('\\'), Qt::SkipEmptyParts);
    const QString organization = parts.size() >= 2 ? parts[parts.size() - 2] : QString();
    const QString application = parts.isEmpty() ? QString() : parts.back();
    return std::make_unique<QSettings>(organization, application);
}

int32_t ReadPlacementValue(QSettings& settings, const QString& section, const QString& name) {
    settings.beginGroup(section);
    const QVariant value = settings.value(name);
    settings.endGroup();
    if (!value.isValid()) return NoPlacementValue;
    // INI files give text; anything else (a list, a typed value) was not written by us.
    if (value.typeId() != QMetaType::QString && value.typeId() != QMetaType::QByteArray)
        throw std::runtime_error("Invalid data type for '" + name.toStdString() + "'");
    bool ok = false;
    const qlonglong number = value.toString().trimmed().toLongLong(&ok, 10);
    if (!ok || number < INT32_MIN || number > INT32_MAX) return NoPlacementValue;
    return static_cast<int32_t>(number);
}

TFormPlacement ReadFormPlacement(QSettings& settings, const QString& section, bool includeSize) {
    TFormPlacement placement;
    placement.Left = ReadPlacementValue(settings, section, QStringLiteral("Left"));
    placement.Top = ReadPlacementValue(settings, section, QStringLiteral("Top"));
    if (includeSize) {
        placement.Width = ReadPlacementValue(settings, section, QStringLiteral("Width"));
        placement.Height = ReadPlacementValue(settings, section, QStringLiteral("Height"));
    }
    return placement;
}

void WriteFormPlacement(QSettings& settings, const QString& section, const TFormPlacement& placement,
                        bool includeSize) {
    auto write = [&](const char* name, int32_t value) {
        settings.beginGroup(section);
        settings.setValue(QLatin1String(name), QString::number(value));
        settings.endGroup();
        settings.sync();
        if (settings.status() != QSettings::NoError)
            throw std::runtime_error(std::string("Failed to set data for '") + name + "'");
    };
    write("Left", placement.Left);
    write("Top", placement.Top);
    if (includeSize) {
        write("Width", placement.Width);
        write("Height", placement.Height);
    }
}

QPoint PullOntoScreens(const QRect& frame, const std::vector<QRect>& screens) {
    if (screens.empty()) return frame.topLeft();
    // Enough of the title bar to grab it with the mouse.
    const QRect title(frame.left(), frame.top(), frame.width(), std::min(frame.height(), 30));
    for (const QRect& screen : screens) {
        const QRect seen = title.intersected(screen);
        if (seen.width() >= std::min(50, frame.width()) && seen.height() >= std::min(10, title.height()))
            return frame.topLeft();
    }
    // Nearest screen by the distance of the centres.
    const QPoint centre = frame.center();
    const QRect* best = &screens.front();
    int bestDistance = INT_MAX;
    for (const QRect& screen : screens) {
        const int distance = (screen.center() - centre).manhattanLength();
        if (distance < bestDistance) {
            bestDistance = distance;
            best = &screen;
        }
    }
    const int left = std::clamp(frame.left(), best->left(), std::max(best->left(), best->right() + 1 - frame.width()));
    const int top = std::clamp(frame.top(), best->top(), std::max(best->top(), best->bottom() + 1 - frame.height()));
    return {left, top};
}

}  // namespace writer
