// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/cli/DiscoverSession.h"

#include "core/protocol/DatagramCodec.h"
#include "core/protocol/Exchange.h"
#include "core/protocol/Messages.h"

namespace parvolink::cli {

DiscoverSession::DiscoverSession(QObject* parent)
    : QObject(parent),
      socket_(this),
      runner_(
          [this](std::string_view host) {
              static const std::string wire = DatagramCodec::EncodeText(DiscoverLine());
              return socket_.Send(wire, host, wire::kManagementPort);
          },
          [this](std::function<void()> resume) { socket_.WhenWritable(std::move(resume)); }, this) {
    lateAnswers_.setSingleShot(true);
    lateAnswers_.setInterval(exchange::kDiscoverTicks * 1000);
    connect(&lateAnswers_, &QTimer::timeout, this, [this] { finished_(); });
    connect(&runner_, &DiscoverRunner::Progress, this, [this](quint64 sent, quint64 total) {
        progress_ = {sent, total};
    });
    connect(&runner_, &DiscoverRunner::Finished, this, [this] {
        progress_.first = progress_.second;
        lateAnswers_.start();
    });
}

bool DiscoverSession::Start(const Ipv4Network& network,
                            std::function<void(const DeviceEntry&)> found,
                            std::function<void()> finished) {
    if (socket_.Open() != ManagementSocket::OpenResult::Ready) {
        return false;
    }
    found_ = std::move(found);
    cards_.BeginDiscover();
    finished_ = std::move(finished);
    socket_.OnReceive([this](std::string_view bytes, const Ipv4Address&) { OnReply(bytes); });
    runner_.Start(network.subnet, network.mask);
    return true;
}

void DiscoverSession::OnReply(std::string_view bytes) {
    const auto reply = ParseReply(bytes);
    if (!reply || reply->command != ReplyCommand::Discover) {
        return;
    }
    const auto discovered = ParseDiscoverReply(reply->payload);
    if (!discovered) {
        return;
    }
    const bool known = cards_.FindRowByIp(discovered->ipAddress) != DeviceList::kNone;
    const std::optional<std::size_t> index = ApplyDiscoverReply(cards_, *discovered);
    if (!index) {
        return;  // more cards than a list holds
    }
    const DeviceEntry& row = cards_.row(*index);
    // A card is listed when it first answers, and again when a second card answers for its
    // address; two cards answering in turn are not listed at every answer.
    const bool newlyShared = !row.otherMacAddress.empty() && shared_.insert(*index).second;
    if (!known || newlyShared) {
        found_(row);
    }
}

}  // namespace parvolink::cli
