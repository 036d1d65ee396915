// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/cli/CardRunner.h"

#include <algorithm>

#include "core/protocol/Messages.h"
#include "shell/protocol/ManagementSocket.h"
#include "shell/protocol/NetworkFailures.h"
#include "shell/upgrade/FirmwareServer.h"

namespace parvolink::cli {

struct CardRunner::Slot {
    std::unique_ptr<fleet::CardTask> task;
    std::unique_ptr<ManagementSocket> socket;
    QTimer tick;
    bool ended = false;
};

namespace {

// How a card's fetch ended, as the command reports it.
std::pair<fleet::Result, std::string> FetchOutcome(TftpTransferEnd::Kind kind) {
    using Kind = TftpTransferEnd::Kind;
    switch (kind) {
        case Kind::Completed:
            return {fleet::Result::Done, fleet::OneLine(tftp::kUpgradeOk.text)};
        case Kind::Abandoned:
            return {fleet::Result::NoResponse, "The card stopped fetching the firmware file."};
        case Kind::CannotOpenFile:
            return {fleet::Result::LocalFault, tftp::kCannotOpenFile.text};
        case Kind::CannotReadFile:
            return {fleet::Result::LocalFault,
                    "Can't read the firmware file: the upgrade was stopped."};
        case Kind::TooManyConnections:
            return {fleet::Result::LocalFault, tftp::kTooManyConnections.text};
    }
    return {fleet::Result::LocalFault, ""};
}

}  // namespace

CardRunner::CardRunner(int parallel, FirmwareServer* firmware, QObject* parent)
    : QObject(parent), parallel_(parallel), firmware_(firmware) {
    if (firmware_ != nullptr) {
        firmware_->OnActions([this](const TftpActions& actions) {
            for (const TftpTransferEnd& end : actions.ended) {
                FetchEnded(end);
            }
        });
    }
}

void CardRunner::FetchEnded(const TftpTransferEnd& end) {
    for (auto& slot : running_) {
        if (!slot->ended && slot->task->expectsFetch() && slot->task->address() == end.peer) {
            auto [result, message] = FetchOutcome(end.kind);
            slot->task->FinishFetch(result, std::move(message));
            AfterEvent(*slot);
        }
    }
}

CardRunner::~CardRunner() = default;

void CardRunner::Run(std::vector<std::unique_ptr<fleet::CardTask>> tasks, Ended ended,
                     std::function<void()> allEnded) {
    for (auto& task : tasks) {
        waiting_.push_back(std::move(task));
    }
    ended_ = std::move(ended);
    allEnded_ = std::move(allEnded);
    StartNext();
    if (running_.empty()) {
        QMetaObject::invokeMethod(this, &CardRunner::Reap, Qt::QueuedConnection);
        reapQueued_ = true;
    }
}

std::vector<const fleet::CardTask*> CardRunner::Running() const {
    std::vector<const fleet::CardTask*> tasks;
    for (const auto& slot : running_) {
        if (!slot->ended) {
            tasks.push_back(slot->task.get());
        }
    }
    return tasks;
}

void CardRunner::StartNext() {
    while (static_cast<int>(running_.size()) < parallel_ && !waiting_.empty()) {
        auto slot = std::make_unique<Slot>();
        slot->task = std::move(waiting_.front());
        waiting_.pop_front();
        Slot& s = *slot;
        running_.push_back(std::move(slot));
        s.socket = std::make_unique<ManagementSocket>();
        if (s.socket->Open() != ManagementSocket::OpenResult::Ready) {
            // No socket for this card: it is told, and the others go on.
            s.task->Fail(fleet::Result::LocalFault, mainwindow::kCannotOpenUdp.text);
            AfterEvent(s);
            continue;
        }
        s.socket->OnReceive([this, &s](std::string_view bytes, const Ipv4Address& from) {
            if (s.ended) {
                return;  // a late copy of a reply, for a task that ended or holds
            }
            Send(s, s.task->OnDatagram(bytes, from));
            AfterEvent(s);
        });
        s.tick.setTimerType(Qt::PreciseTimer);
        s.tick.setInterval(1000);
        connect(&s.tick, &QTimer::timeout, this, [this, &s] {
            if (s.task->fetching() && firmware_ && firmware_->ProgressOf(s.task->address())) {
                s.task->FetchStarted();
            }
            Send(s, s.task->Tick());
            AfterEvent(s);
        });
        s.tick.start();
        Send(s, s.task->held() ? s.task->Proceed() : s.task->Start());
        AfterEvent(s);
    }
}

void CardRunner::Send(Slot& slot, const std::vector<Outgoing>& sends) {
    for (const Outgoing& send : sends) {
        // As in the window, a send that fails is not reported: the countdown tells.
        static_cast<void>(slot.socket->Send(send.wire, send.host, wire::kManagementPort));
    }
}

void CardRunner::AfterEvent(Slot& slot) {
    if (!(slot.task->finished() || slot.task->held()) || slot.ended) {
        return;
    }
    slot.ended = true;
    slot.tick.stop();
    if (slot.task->held()) {
        held_.push_back(std::move(slot.task));  // its socket goes with the slot
    } else {
        if (slot.task->result() != fleet::Result::Done && !slot.task->writing()) {
            if (unpassed_++ == 0) {
                firstUnpassed_ = {slot.task->address(), slot.task->result()};
            }
        }
        ended_(*slot.task);
    }
    if (!reapQueued_) {
        // Not here: this may run inside the slot's own socket handler.
        reapQueued_ = true;
        QMetaObject::invokeMethod(this, &CardRunner::Reap, Qt::QueuedConnection);
    }
}

void CardRunner::Reap() {
    reapQueued_ = false;
    std::erase_if(running_, [](const std::unique_ptr<Slot>& slot) { return slot->ended; });
    if (!stopped_) {
        StartNext();
    }
    if (running_.empty() && waiting_.empty() && !held_.empty()) {
        WriteHeldOrNone();
    }
    if (running_.empty() && waiting_.empty() && held_.empty() && allEnded_) {
        std::exchange(allEnded_, nullptr)();
    }
}

void CardRunner::WriteHeldOrNone() {
    if (unpassed_ == 0 && !stopped_) {
        for (auto& task : held_) {
            waiting_.push_back(std::move(task));
        }
        held_.clear();
        StartNext();
        return;
    }
    for (auto& task : std::exchange(held_, {})) {
        if (stopped_) {
            task->Abandon("not written: interrupted");
        } else {
            task->HoldBack(firstUnpassed_.first, firstUnpassed_.second);
        }
        ended_(*task);
    }
}

void CardRunner::Stop() {
    stopped_ = true;
    for (auto& task : std::exchange(waiting_, {})) {
        task->Fail(fleet::Result::LocalFault, "not started: interrupted");
        ended_(*task);
    }
    for (auto& slot : running_) {
        if (!slot->ended && !slot->task->writing()) {
            slot->task->Fail(fleet::Result::LocalFault, "stopped before writing: interrupted");
            AfterEvent(*slot);
        }
    }
    if (!reapQueued_) {
        reapQueued_ = true;
        QMetaObject::invokeMethod(this, &CardRunner::Reap, Qt::QueuedConnection);
    }
}

}  // namespace parvolink::cli
