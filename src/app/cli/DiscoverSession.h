// SPDX-License-Identifier: GPL-3.0-or-later
// A Discover as the window runs it, on its own socket: the sweep of the network with its
// pacing, then the same three seconds for late answers. Each card is reported as it answers,
// and again when a second card answers for its address.
#pragma once

#include <QObject>
#include <QTimer>
#include <functional>
#include <limits>
#include <set>

#include "base/DottedAddress.h"
#include "core/devices/DeviceList.h"
#include "shell/protocol/DiscoverRunner.h"
#include "shell/protocol/ManagementSocket.h"

namespace parvolink::cli {

class DiscoverSession : public QObject {
    Q_OBJECT
public:
    explicit DiscoverSession(QObject* parent = nullptr);

    // False when the socket cannot be opened.
    [[nodiscard]] bool Start(const Ipv4Network& network,
                             std::function<void(const DeviceEntry&)> found,
                             std::function<void()> finished);
    const DeviceList& cards() const { return cards_; }
    // The sweep's progress: addresses sent to, of all; the last seconds show as complete.
    std::pair<quint64, quint64> progress() const { return progress_; }

private:
    void OnReply(std::string_view bytes);

    ManagementSocket socket_;
    DiscoverRunner runner_;
    QTimer lateAnswers_;
    DeviceList cards_{std::numeric_limits<std::size_t>::max()};  // every card that answers
    std::set<std::size_t> shared_;  // rows already listed as shared by two cards
    std::pair<quint64, quint64> progress_{0, 1};
    std::function<void(const DeviceEntry&)> found_;
    std::function<void()> finished_;
};

}  // namespace parvolink::cli
