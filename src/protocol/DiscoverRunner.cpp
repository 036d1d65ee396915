#include "protocol/DiscoverRunner.h"

namespace parvolink {
namespace {

// Sends that fail do not count towards a pause, so a burst of failures could run long: past
// this many sends the burst yields to the event loop without pausing, keeping the pacing.
constexpr int kLongestBurst = 256;

}  // namespace

DiscoverRunner::DiscoverRunner(Sender sender, QObject* parent)
    : QObject(parent), sender_(std::move(sender)) {
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
        Finish();
    }
}

void DiscoverRunner::Burst() {
    if (!Running()) {
        return;
    }
    bool pauseDue = false;
    for (int sends = 0; !sweep_->Done() && !pauseDue && sends < kLongestBurst; ++sends) {
        pauseDue = sweep_->RecordSend(sender_(sweep_->Next()));
    }
    emit Progress(sweep_->Handed(), sweep_->Total());
    if (sweep_->Done()) {
        Finish();
    } else {
        pause_.start(pauseDue ? DiscoverSweep::kPauseMilliseconds : 0);
    }
}

void DiscoverRunner::Finish() {
    sweep_.reset();
    emit Finished();
}

}  // namespace parvolink
