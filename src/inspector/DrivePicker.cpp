#include "inspector/DrivePicker.h"

#include <QAbstractItemView>
#include <QStyle>

#include "inspector/UserPrompts.h"

namespace inspector {

namespace {
constexpr int kKindRole = Qt::UserRole;
constexpr int kPathRole = Qt::UserRole + 1;

QStyle::StandardPixmap IconOf(uint32_t driveType) {
    switch (driveType) {
    case platform::DRIVE_REMOVABLE: return QStyle::SP_DriveFDIcon;
    case platform::DRIVE_CDROM: return QStyle::SP_DriveCDIcon;
    case platform::DRIVE_REMOTE: return QStyle::SP_DriveNetIcon;
    default: return QStyle::SP_DriveHDIcon;
    }
}
}  // namespace

const QString TDrivePicker::OpenDeviceText = QStringLiteral("Open image or device...");

TDrivePicker::TDrivePicker(platform::IPlatform& platform, QWidget* parent) : QComboBox(parent), platform_(platform) {
    setEditable(false);
    setMaxVisibleItems(20);
    // The closed box is narrow; the list shows the whole texts.
    setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    Refresh();
    connect(this, &QComboBox::activated, this, &TDrivePicker::ChooseItem);
}

void TDrivePicker::Refresh() {
    const QSignalBlocker block(this);
    QStringList devices;
    for (int i = 0; i < count(); ++i)
        if (KindOf(i) == TItemKind::ikDevice) devices << DevicePathOf(i);
    clear();
    for (const platform::DriveEntry& d : platform_.GetDriveTable()) {
        QString text = QStringLiteral("%1:\\  %2").arg(QChar::fromLatin1(d.Letter), QString::fromStdString(d.MountPoint));
        QStringList details;
        if (!d.Label.empty()) details << QString::fromStdString(d.Label);
        if (!d.FileSystem.empty()) details << QString::fromStdString(d.FileSystem);
        if (!details.isEmpty()) text += QStringLiteral("  (") + details.join(QStringLiteral(", ")) + QLatin1Char(')');
        addItem(style()->standardIcon(IconOf(d.DriveType)), text);
        setItemData(count() - 1, static_cast<int>(TItemKind::ikDrive), kKindRole);
    }
    for (const QString& path : devices) AddDevicePath(path);
    addItem(style()->standardIcon(QStyle::SP_DirOpenIcon), OpenDeviceText);
    setItemData(count() - 1, static_cast<int>(TItemKind::ikOpenDevice), kKindRole);
    view()->setMinimumWidth(view()->sizeHintForColumn(0) + 24);
    setCurrentIndex(-1);
    previousIndex_ = -1;
}

TDrivePicker::TItemKind TDrivePicker::KindOf(int index) const {
    return static_cast<TItemKind>(itemData(index, kKindRole).toInt());
}

QString TDrivePicker::DevicePathOf(int index) const { return itemData(index, kPathRole).toString(); }

int TDrivePicker::ItemOfLetter(QChar letter) const {
    for (int i = 0; i < count(); ++i)
        if (KindOf(i) == TItemKind::ikDrive && itemText(i).startsWith(letter, Qt::CaseSensitive)) return i;
    return -1;
}

int TDrivePicker::ItemOfDevice(const QString& path) const {
    for (int i = 0; i < count(); ++i)
        if (KindOf(i) == TItemKind::ikDevice && DevicePathOf(i) == path) return i;
    return -1;
}

int TDrivePicker::AddDevicePath(const QString& path) {
    const int existing = ItemOfDevice(path);
    if (existing >= 0) return existing;
    // Before the open entry, after the drives and earlier devices.
    int at = count();
    if (at > 0 && KindOf(at - 1) == TItemKind::ikOpenDevice) --at;
    const QSignalBlocker block(this);
    insertItem(at, style()->standardIcon(QStyle::SP_FileIcon), path);
    setItemData(at, static_cast<int>(TItemKind::ikDevice), kKindRole);
    setItemData(at, path, kPathRole);
    if (previousIndex_ >= at) ++previousIndex_;
    view()->setMinimumWidth(view()->sizeHintForColumn(0) + 24);
    return at;
}

int TDrivePicker::DriveItemCount() const {
    int n = 0;
    for (int i = 0; i < count(); ++i)
        if (KindOf(i) == TItemKind::ikDrive) ++n;
    return n;
}

int TDrivePicker::DriveItem(int n) const {
    for (int i = 0; i < count(); ++i)
        if (KindOf(i) == TItemKind::ikDrive && n-- == 0) return i;
    return -1;
}

void TDrivePicker::SelectItem(int index) {
    const QSignalBlocker block(this);
    setCurrentIndex(index);
    previousIndex_ = currentIndex();
}

void TDrivePicker::ChooseItem(int index) {
    if (index < 0 || index >= count()) return;
    if (KindOf(index) == TItemKind::ikOpenDevice) {
        const QString path = TUserPrompts::AskDevicePath(this);
        if (path.isEmpty()) {
            SelectItem(previousIndex_);
            return;
        }
        index = AddDevicePath(path);
    }
    SelectItem(index);
    emit Change();
}

}  // namespace inspector
