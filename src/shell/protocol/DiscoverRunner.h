// SPDX-License-Identifier: GPL-3.0-or-later
// Runs a Discover sweep from the event loop: sends in bursts between the 100 ms pauses, so
// replies are read and the window stays live while it runs. Not copyable.
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <functional>
#include <optional>
#include <string>

#include "core/protocol/DiscoverSweep.h"

namespace parvolink {

class DiscoverRunner : public QObject {
    Q_OBJECT
public:
    // Sends the Discover datagram to a host text.
    using Sender = std::function<SendOutcome(std::string_view host)>;
    // Calls resume once, from the event loop, when the socket can queue datagrams again.
    using WritableWaiter = std::function<void(std::function<void()> resume)>;

    DiscoverRunner(Sender sender, WritableWaiter whenWritable, QObject* parent = nullptr);

    bool Running() const { return sweep_.has_value(); }
    // Sends to the directed broadcast address at once, then sweeps.
    void Start(const Ipv4Address& subnet, const Ipv4Address& mask);
    // Ends a running sweep early; Finished follows.
    void Stop();
    // Milliseconds since the sweep started.
    qint64 Elapsed() const { return clock_.elapsed(); }

signals:
    void Progress(quint64 sent, quint64 total);
    void Finished();

private:
    void Burst();
    void Finish();

    Sender sender_;
    WritableWaiter whenWritable_;
    bool waitingForSocket_ = false;
    std::optional<DiscoverSweep> sweep_;
    QTimer pause_;
    QElapsedTimer clock_;
};

}  // namespace parvolink
