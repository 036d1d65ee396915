// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/protocol/DiscoverRunner.h"

#include <utility>

namespace parvolink {
namespace {

// Sends that fail do not count towards a pause, so a burst of failures could run long: past
// this many sends the burst yields to the event loop without pausing, keeping the pacing.
constexpr int kLongestBurst = 256;

}  // namespace

DiscoverRunner::DiscoverRunner(Sender sender, WritableWaiter whenWritable, QObject* parent)
    : QObject(parent), sender_(std::move(sender)), whenWritable_(std::move(whenWritable)) {
    pause_.setSingleShot(true);
    connect(&pause_, &QTimer::timeout, this, &DiscoverRunner::Burst);
}

void DiscoverRunner::Start(const Ipv4Address& subnet, const Ipv4Address& mask) {
    if (Running()) {
        return;
    }
    sweep_.emplace(subnet, mask);
    clock_.start();
    sender_(sweep_->BroadcastAddress());
    Burst();
}

void DiscoverRunner::Stop() {
    if (Running()) {
        pause_.stop();
        waitingForSocket_ = false;
        Finish();
    }
}

void DiscoverRunner::Burst() {
    if (!Running()) {
        return;
    }
    bool pauseDue = false;
    for (int sends = 0; !sweep_->Done() && !pauseDue && sends < kLongestBurst; ++sends) {
        const SendOutcome outcome = sender_(sweep_->Next());
        pauseDue = sweep_->RecordSend(outcome);
        if (outcome == SendOutcome::NotQueued) {
            // The socket's queue is full of datagrams waiting for silent neighbours: the same
            // address goes again once there is room, without a pause of its own.
            waitingForSocket_ = true;
            whenWritable_([this] {
                if (std::exchange(waitingForSocket_, false)) {
                    Burst();
                }
            });
            emit Progress(sweep_->Handed(), sweep_->Total());
            return;
        }
    }
    emit Progress(sweep_->Handed(), sweep_->Total());
    if (sweep_->Done()) {
        Finish();
    } else {
        pause_.start(pauseDue ? DiscoverSweep::kPauseMilliseconds : 0);
    }
}

void DiscoverRunner::Finish() {
    waitingForSocket_ = false;
    sweep_.reset();
    emit Finished();
}

}  // namespace parvolink
