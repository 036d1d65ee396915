// SPDX-License-Identifier: GPL-3.0-or-later
// Runs card tasks, at most a given number at once, each with its own management socket (so its
// replies arrive apart from the others') and its own one-second timer: one card's silence never
// holds up another. Cards that fetch firmware are followed through the TFTP server.
#pragma once

#include <QObject>
#include <QTimer>
#include <deque>
#include <functional>
#include <memory>
#include <vector>

#include "core/fleet/CardTask.h"
#include "core/upgrade/TftpServer.h"

namespace parvolink {
class FirmwareServer;
class ManagementSocket;
}  // namespace parvolink

namespace parvolink::cli {

class CardRunner : public QObject {
    Q_OBJECT
public:
    using Ended = std::function<void(const fleet::CardTask&)>;

    // firmware may be null when no task upgrades.
    CardRunner(int parallel, FirmwareServer* firmware, QObject* parent = nullptr);
    ~CardRunner() override;

    // Runs every task; ended is called as each one ends, then allEnded once. Tasks that hold
    // before writing are written only when every task has passed its checks; otherwise they
    // end unwritten.
    void Run(std::vector<std::unique_ptr<fleet::CardTask>> tasks, Ended ended,
             std::function<void()> allEnded);
    // Starts no other card and ends those not yet writing; writes under way (a card flashing)
    // go on to their end.
    void Stop();
    // The tasks running now, for a progress line.
    std::vector<const fleet::CardTask*> Running() const;

private:
    struct Slot;

    void StartNext();
    // A card's fetch ended as end says.
    void FetchEnded(const TftpTransferEnd& end);
    void Send(Slot& slot, const std::vector<Outgoing>& sends);
    void AfterEvent(Slot& slot);
    void Reap();
    // Every task has ended or holds: write them all, or none.
    void WriteHeldOrNone();

    int parallel_;
    FirmwareServer* firmware_;
    std::deque<std::unique_ptr<fleet::CardTask>> waiting_;
    std::vector<std::unique_ptr<Slot>> running_;
    std::vector<std::unique_ptr<fleet::CardTask>> held_;     // checked, waiting to write
    int unpassed_ = 0;                                       // tasks that ended before writing
    std::pair<Ipv4Address, fleet::Result> firstUnpassed_{};  // the card that holds the rest
    bool stopped_ = false;
    Ended ended_;
    std::function<void()> allEnded_;
    bool reapQueued_ = false;
};

}  // namespace parvolink::cli
