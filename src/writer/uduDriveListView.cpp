#include "writer/uduDriveListView.h"

#include <QFileIconProvider>
#include <QHeaderView>

#include "platform/Platform.h"

namespace writer {

TuduDriveListView::TuduDriveListView(QWidget* Parent) : QTreeWidget(Parent) {
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setHeaderHidden(false);
    setColumnCount(0);
    setIconSize(QSize(16, 16));
    CreateDriveColumns();
    RefreshDrives();
}

void TuduDriveListView::ClearColumns() {
    FAlignments.clear();
    setColumnCount(0);
    setHeaderLabels({});
}

void TuduDriveListView::AddColumn(const QString& Caption, int Width, Qt::Alignment Alignment) {
    const int column = static_cast<int>(FAlignments.size());
    FAlignments.push_back(Alignment);
    setColumnCount(column + 1);
    QTreeWidgetItem* header = headerItem();
    header->setText(column, Caption);
    header->setTextAlignment(column, Alignment | Qt::AlignVCenter);
    setColumnWidth(column, Width);
    for (int i = 0; i < topLevelItemCount(); ++i) topLevelItem(i)->setTextAlignment(column, Alignment | Qt::AlignVCenter);
}

void TuduDriveListView::CreateDriveColumns() {
    AddColumn(QStringLiteral("Name"), 150, Qt::AlignLeft);
    AddColumn(QStringLiteral("Type"), 120, Qt::AlignLeft);
    AddColumn(QStringLiteral("Total Size"), 100, Qt::AlignRight);
    AddColumn(QStringLiteral("Free Space"), 100, Qt::AlignRight);
    AddColumn(QStringLiteral("File System"), 60, Qt::AlignLeft);
}

QTreeWidgetItem* TuduDriveListView::AddRow(const TDriveRow& Row) {
    auto* item = new QTreeWidgetItem(this);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
    item->setCheckState(0, Qt::Unchecked);
    const QStringList cells{QString::fromStdString(Row.Name), QString::fromStdString(Row.TypeName),
                            QString::fromStdString(Row.TotalSize), QString::fromStdString(Row.FreeSpace),
                            QString::fromStdString(Row.FileSystem)};
    for (int column = 0; column < cells.size() && column < columnCount(); ++column) {
        item->setText(column, cells[column]);
        item->setTextAlignment(column, FAlignments[static_cast<size_t>(column)] | Qt::AlignVCenter);
    }
    if (FUseShellImages) {
        static const QFileIconProvider icons;
        const QIcon icon = icons.icon(Row.DriveType == platform::DRIVE_REMOTE ? QFileIconProvider::Network
                                                                               : QFileIconProvider::Drive);
        item->setIcon(0, icon);
        item->setData(0, NormalIconRole, icon);
    }
    item->setData(0, LetterRole, static_cast<int>(static_cast<unsigned char>(Row.Letter)));
    return item;
}

void TuduDriveListView::RefreshDrives() {
    clear();
    for (const TDriveRow& row : ReadDriveRows()) AddRow(row);
}

QString TuduDriveListView::GetItemRootPath(const QTreeWidgetItem* Item) const {
    if (Item == nullptr) return {};
    const int code = Item->data(0, LetterRole).toInt();
    if (code == 0) return {};
    return QString::fromStdString(RootPathOfLetter(static_cast<char>(code & 0xFF)));
}

void TuduDriveListView::SetItemCut(QTreeWidgetItem* Item, bool Cut) {
    if (Item == nullptr) return;
    Item->setData(0, CutRole, Cut);
    const QIcon normal = Item->data(0, NormalIconRole).value<QIcon>();
    if (normal.isNull()) return;
    if (!Cut) {
        Item->setIcon(0, normal);
        return;
    }
    // The dimmed look of a disabled icon, in every size the icon has.
    QIcon dimmed;
    for (const QSize& size : {QSize(16, 16), QSize(32, 32)}) dimmed.addPixmap(normal.pixmap(size, QIcon::Disabled));
    Item->setIcon(0, dimmed);
}

bool TuduDriveListView::IsItemCut(const QTreeWidgetItem* Item) const {
    return Item != nullptr && Item->data(0, CutRole).toBool();
}

}  // namespace writer
