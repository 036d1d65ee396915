// SPDX-License-Identifier: GPL-3.0-or-later
// SIGINT, SIGTERM and SIGHUP delivered to the event loop: the handler only writes the signal's
// number to a pipe, and a socket notifier reads it on the loop's thread. Not copyable.
#pragma once

#include <QObject>
#include <QSocketNotifier>
#include <functional>
#include <memory>

namespace parvolink::cli {

class SignalWatcher : public QObject {
    Q_OBJECT
public:
    // caught is called from the event loop with the signal's number, once per signal.
    explicit SignalWatcher(std::function<void(int signal)> caught, QObject* parent = nullptr);
    ~SignalWatcher() override;
    SignalWatcher(const SignalWatcher&) = delete;
    SignalWatcher& operator=(const SignalWatcher&) = delete;

private:
    std::function<void(int)> caught_;
    std::unique_ptr<QSocketNotifier> notifier_;
};

}  // namespace parvolink::cli
