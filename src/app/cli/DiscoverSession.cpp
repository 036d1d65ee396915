#include "app/cli/DiscoverSession.h"

#include "core/protocol/DatagramCodec.h"
#include "core/protocol/Messages.h"
#include "core/protocol/RequestEngine.h"

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
    lateAnswers_.setInterval(engine::kDiscoverTicks * 1000);
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
    const int known = cards_.FindRowByIp(discovered->ipAddress);
    const std::string otherBefore =
        known == DeviceList::kNone ? ""
                                   : cards_.row(static_cast<std::size_t>(known)).otherMacAddress;
    if (!ApplyDiscoverReply(cards_, *discovered)) {
        return;  // more cards than a list holds
    }
    const int index = cards_.FindRowByIp(discovered->ipAddress);
    const DeviceEntry& row = cards_.row(static_cast<std::size_t>(index));
    if (known == DeviceList::kNone || row.otherMacAddress != otherBefore) {
        found_(row);
    }
}

}  // namespace parvolink::cli
