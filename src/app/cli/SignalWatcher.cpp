// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/cli/SignalWatcher.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>

namespace parvolink::cli {
namespace {

int pipeEnds[2] = {-1, -1};
constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};

extern "C" void WriteSignal(int signal) {
    const int saved = errno;
    const unsigned char number = static_cast<unsigned char>(signal);
    // Nothing can be done about a full pipe here: a signal is pending to be read anyway.
    const ssize_t written = ::write(pipeEnds[1], &number, 1);
    static_cast<void>(written);
    errno = saved;
}

}  // namespace

SignalWatcher::SignalWatcher(std::function<void(int)> caught, QObject* parent)
    : QObject(parent), caught_(std::move(caught)) {
    if (::pipe2(pipeEnds, O_CLOEXEC | O_NONBLOCK) != 0) {
        return;  // signals then end the program as they would without us
    }
    notifier_ = std::make_unique<QSocketNotifier>(pipeEnds[0], QSocketNotifier::Read);
    connect(notifier_.get(), &QSocketNotifier::activated, this, [this] {
        unsigned char number = 0;
        while (::read(pipeEnds[0], &number, 1) == 1) {
            caught_(number);
        }
    });
    struct sigaction action {};
    action.sa_handler = WriteSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signal : kSignals) {
        ::sigaction(signal, &action, nullptr);
    }
}

SignalWatcher::~SignalWatcher() {
    if (!notifier_) {
        return;
    }
    struct sigaction action {};
    action.sa_handler = SIG_DFL;
    for (const int signal : kSignals) {
        ::sigaction(signal, &action, nullptr);
    }
    notifier_.reset();
    ::close(pipeEnds[0]);
    ::close(pipeEnds[1]);
    pipeEnds[0] = pipeEnds[1] = -1;
}

}  // namespace parvolink::cli
