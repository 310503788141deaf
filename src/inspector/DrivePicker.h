#pragma once
// TDrivePicker: the inspector's drive combo. Lists the drive roots ("C:\  /  (ext4)") of the
// platform's drive table, item texts beginning with the letter, and ends with an entry that
// lets the user open a disk image file or a block device by path instead.
#include <QComboBox>
#include <QString>

#include "platform/Platform.h"

namespace inspector {

class TDrivePicker : public QComboBox {
    Q_OBJECT
public:
    enum class TItemKind { ikDrive, ikDevice, ikOpenDevice };
    static const QString OpenDeviceText;  // "Open image or device..."

    explicit TDrivePicker(platform::IPlatform& platform, QWidget* parent = nullptr);

    // Lists the drive table again (the open devices stay).
    void Refresh();

    [[nodiscard]] TItemKind KindOf(int index) const;
    [[nodiscard]] QString DevicePathOf(int index) const;
    // The first drive item whose text begins with letter (case-sensitive); -1 when none.
    [[nodiscard]] int ItemOfLetter(QChar letter) const;
    [[nodiscard]] int ItemOfDevice(const QString& path) const;
    // Adds an item for a device path unless there is one; its index.
    int AddDevicePath(const QString& path);
    // Drive items only, in table order.
    [[nodiscard]] int DriveItemCount() const;
    [[nodiscard]] int DriveItem(int n) const;

    // Selects an item as the program does: no Change.
    void SelectItem(int index);
    // Chooses an item as a user does: the open entry asks for a path first (and goes back to
    // the previous item when none is given); Change follows a choice of a drive or device.
    void ChooseItem(int index);

signals:
    void Change();

private:
    platform::IPlatform& platform_;
    int previousIndex_ = -1;
};

}  // namespace inspector
