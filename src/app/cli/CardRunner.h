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

namespace parvolink {
class ManagementSocket;
}

namespace parvolink::cli {

class FirmwareServer;

class CardRunner : public QObject {
    Q_OBJECT
public:
    using Ended = std::function<void(const fleet::CardTask&)>;

    // firmware may be null when no task upgrades.
    CardRunner(int parallel, FirmwareServer* firmware, QObject* parent = nullptr);
    ~CardRunner() override;

    // Runs every task; ended is called as each one ends, then allEnded once.
    void Run(std::vector<std::unique_ptr<fleet::CardTask>> tasks, Ended ended,
             std::function<void()> allEnded);
    // The tasks running now, for a progress line.
    std::vector<const fleet::CardTask*> Running() const;

private:
    struct Slot;

    void StartNext();
    void Send(Slot& slot, const std::vector<fleet::Outgoing>& sends);
    void AfterEvent(Slot& slot);
    void Reap();

    int parallel_;
    FirmwareServer* firmware_;
    std::deque<std::unique_ptr<fleet::CardTask>> waiting_;
    std::vector<std::unique_ptr<Slot>> running_;
    Ended ended_;
    std::function<void()> allEnded_;
    bool reapQueued_ = false;
};

}  // namespace parvolink::cli
