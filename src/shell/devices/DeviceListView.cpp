// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/devices/DeviceListView.h"

#include <QHeaderView>
#include <QStyle>

#include "kit/Text.h"

namespace parvolink {
namespace {
constexpr int kHostNameColumn = 1;
}  // namespace

DeviceListView::DeviceListView(QWidget* parent) : QTreeWidget(parent) {
    // The column widths are fixed in pixels; a point smaller than the dialog font keeps a
    // zero-padded address whole in its 110 pixels with the wider fonts Linux desktops use.
    QFont smaller = font();
    smaller.setPointSize(9);
    setFont(smaller);
    setColumnCount(static_cast<int>(devices::kColumns.size()));
    QStringList headings;
    for (const auto& column : devices::kColumns) {
        headings << FromText(column.heading);
    }
    setHeaderLabels(headings);
    for (int i = 0; i < columnCount(); ++i) {
        setColumnWidth(i, devices::kColumns[static_cast<std::size_t>(i)].width);
        headerItem()->setTextAlignment(i, Qt::AlignCenter);
    }
    header()->setSectionsClickable(false);
    header()->setSectionsMovable(false);
    header()->setStretchLastSection(false);
    setSortingEnabled(false);
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setAllColumnsShowFocus(true);
    // The only icon is the shared-address warning, small enough to leave the MAC address whole.
    setIconSize(QSize(10, 10));
    connect(this, &QTreeWidget::itemSelectionChanged, this, [this] {
        if (showing_ || !onSelection_) {
            return;
        }
        const QList<QTreeWidgetItem*> items = selectedItems();
        onSelection_(items.isEmpty() ? DeviceList::kNone : indexOfTopLevelItem(items.front()));
    });
}

void DeviceListView::Show(const DeviceList& list) {
    showing_ = true;
    const int rows = static_cast<int>(list.size());
    if (rows == 0) {
        clear();  // all at once: one by one costs a model update per row
    }
    while (topLevelItemCount() > rows) {
        delete takeTopLevelItem(topLevelItemCount() - 1);
    }
    while (topLevelItemCount() < rows) {
        auto* item = new QTreeWidgetItem(this);
        for (int c = 0; c < columnCount(); ++c) {
            item->setTextAlignment(c, Qt::AlignCenter);
        }
    }
    for (int r = 0; r < rows; ++r) {
        QTreeWidgetItem* item = topLevelItem(r);
        const DeviceEntry& entry = list.row(static_cast<std::size_t>(r));
        for (int c = 0; c < columnCount(); ++c) {
            const QString text = FromText(devices::ColumnText(entry, static_cast<std::size_t>(c)));
            if (item->text(c) != text) {
                item->setText(c, text);
            }
        }
        ShowDuplicate(item, entry);
    }
    QTreeWidgetItem* chosen =
        list.selected() == DeviceList::kNone ? nullptr : topLevelItem(list.selected());
    if (chosen == nullptr) {
        clearSelection();
    } else if (!chosen->isSelected()) {
        setCurrentItem(chosen);
        scrollToItem(chosen);
    }
    showing_ = false;
}

void DeviceListView::ShowDuplicate(QTreeWidgetItem* item, const DeviceEntry& entry) {
    const QString tip =
        entry.otherMacAddress.empty()
            ? QString()
            : FromText("Two cards answer at " + entry.ipAddress + ": MAC addresses " +
                       entry.macAddress + " and " + entry.otherMacAddress +
                       ". Give one of them another address.");
    if (item->toolTip(0) == tip) {
        return;
    }
    // In the host name's column: the address and MAC columns have no room to spare for it.
    item->setIcon(kHostNameColumn,
                  tip.isEmpty() ? QIcon() : style()->standardIcon(QStyle::SP_MessageBoxWarning));
    for (int c = 0; c < columnCount(); ++c) {
        item->setToolTip(c, tip);
    }
}

}  // namespace parvolink
