#pragma once
// The drive list: a report-style list with a check box in front of every row and one row per
// drive letter the system reports, whatever its type. It knows nothing of watermarks: the
// wizard ticks rows and reads the ticked drives back through GetItemRootPath.
#include <QTreeWidget>

#include "writer/DriveRows.h"

namespace writer {

class TuduDriveListView : public QTreeWidget {
    Q_OBJECT
public:
    // Item data role that holds the row's lower-case drive letter (0: no drive).
    static constexpr int LetterRole = Qt::UserRole;

    // Builds the list with its five default columns and fills it (the rows exist from here on).
    explicit TuduDriveListView(QWidget* Parent = nullptr);

    // Removes all rows and adds one per present drive, in letter order.
    virtual void RefreshDrives();
    // The five default columns.
    virtual void CreateDriveColumns();
    // Appends a column.
    void AddColumn(const QString& Caption, int Width, Qt::Alignment Alignment);
    // Drops every column (a page that brings its own column list).
    void ClearColumns();

    // "C:\" for the row of drive c; empty for a row without a drive.
    [[nodiscard]] QString GetItemRootPath(const QTreeWidgetItem* Item) const;

    // The cut state shows the row's icon dimmed.
    void SetItemCut(QTreeWidgetItem* Item, bool Cut);
    [[nodiscard]] bool IsItemCut(const QTreeWidgetItem* Item) const;

    [[nodiscard]] bool UseShellImages() const { return FUseShellImages; }
    void SetUseShellImages(bool Value) { FUseShellImages = Value; }

private:
    static constexpr int CutRole = Qt::UserRole + 1;
    static constexpr int NormalIconRole = Qt::UserRole + 2;

    QTreeWidgetItem* AddRow(const TDriveRow& Row);

    bool FUseShellImages = true;
    std::vector<Qt::Alignment> FAlignments;
};

}  // namespace writer
