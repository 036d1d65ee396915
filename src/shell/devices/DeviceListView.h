// SPDX-License-Identifier: GPL-3.0-or-later
// The list view of the device list: eight centred columns, one full-row selection, no sorting.
// It mirrors a DeviceList and reports the user's selection back to it.
#pragma once

#include <QTreeWidget>
#include <functional>

#include "core/devices/DeviceList.h"

namespace parvolink {

class DeviceListView : public QTreeWidget {
    Q_OBJECT
public:
    explicit DeviceListView(QWidget* parent = nullptr);

    // Brings the view in line with list: rows, texts and selection. Only what differs is set.
    void Show(const DeviceList& list);

    // Called with the row the user selected (DeviceList::kNone when none).
    void OnUserSelection(std::function<void(int)> handler) { onSelection_ = std::move(handler); }

private:
    // A row whose address two cards answer for shows a warning icon and names both MACs.
    void ShowDuplicate(QTreeWidgetItem* item, const DeviceEntry& entry);

    std::function<void(int)> onSelection_;
    bool showing_ = false;
};

}  // namespace parvolink
