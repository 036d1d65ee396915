// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include "core/upgrade/TftpServer.h"
#include "support/TempDir.h"

namespace parvolink {
namespace {

using testing::TempDir;
using namespace std::string_literals;

std::vector<std::uint8_t> Bytes(const std::string& s) {
    return {s.begin(), s.end()};
}

std::vector<std::uint8_t> Rrq(const std::string& name, const std::string& mode = "octet",
                              const std::string& after = "") {
    return Bytes("\0\1"s + name + '\0' + mode + '\0' + after);
}

std::vector<std::uint8_t> Ack(int block) {
    return {0, 4, static_cast<std::uint8_t>(block >> 8), static_cast<std::uint8_t>(block)};
}

TftpPeer Host(int n) {
    return {{198, 51, 100, static_cast<std::uint8_t>(n)}, 2000};
}

int BlockOf(const TftpDatagram& d) {
    return (static_cast<std::uint8_t>(d.bytes[2]) << 8) | static_cast<std::uint8_t>(d.bytes[3]);
}

class TftpServerTest : public ::testing::Test {
protected:
    void Serve(const std::string& content) {
        file = content;
        firmware = {(dir.path() / "fw.bin").string(), "fw.bin"};
        dir.Write("fw.bin", content);
    }
    TftpActions Ticks(int n) {
        TftpActions all;
        for (int i = 0; i < n; ++i) {
            TftpActions a = server.OnTick();
            all.sends.insert(all.sends.end(), a.sends.begin(), a.sends.end());
            all.endProgress = all.endProgress || a.endProgress;
        }
        return all;
    }

    TempDir dir;
    ServedFirmware firmware;
    TftpServer server{[this] { return firmware; }};
    std::string file;
};

enum class Delivery { Clean, DuplicatedAcks, LostBlock };

// One table, three delivery conditions: a whole transfer reassembles the file exactly.
TEST_F(TftpServerTest, TransfersWholeFilesUnderEveryDeliveryCondition) {
    for (const std::size_t size : {0u, 1000u, 1024u, 1537u}) {
        for (const Delivery delivery :
             {Delivery::Clean, Delivery::DuplicatedAcks, Delivery::LostBlock}) {
            SCOPED_TRACE("size " + std::to_string(size) + " delivery " +
                         std::to_string(static_cast<int>(delivery)));
            std::string content(size, '\0');
            for (std::size_t i = 0; i < size; ++i) {
                content[i] = static_cast<char>(i * 31 + 7);
            }
            Serve(content);
            TftpActions a = server.OnDatagram(Rrq("fw.bin"), Host(5));
            EXPECT_TRUE(server.TakeTransferStarted());
            EXPECT_EQ(server.blockCount(), static_cast<int>(size / 512));
            std::string received;
            int blocks = 0;
            bool lostOnce = delivery != Delivery::LostBlock;
            while (true) {
                ASSERT_EQ(a.sends.size(), 1u);
                const TftpDatagram& data = a.sends[0];
                ASSERT_EQ(data.to, Host(5));
                ASSERT_EQ(data.bytes.substr(0, 2), "\0\3"s);
                ASSERT_EQ(BlockOf(data), blocks + 1);
                if (!lostOnce && blocks == 1) {
                    lostOnce = true;  // block 2 never arrives: 30 ticks later it comes again
                    EXPECT_TRUE(Ticks(29).sends.empty());
                    a = Ticks(1);
                    continue;
                }
                ++blocks;
                received += data.bytes.substr(4);
                const bool last = data.bytes.size() < 516;
                a = server.OnDatagram(Ack(blocks), Host(5));
                if (delivery == Delivery::DuplicatedAcks) {
                    const TftpActions again = server.OnDatagram(Ack(blocks), Host(5));
                    EXPECT_TRUE(again.sends.empty());
                    EXPECT_FALSE(again.message);
                }
                if (last) {
                    EXPECT_EQ(a.message, tftp::kUpgradeOk);
                    EXPECT_TRUE(a.endProgress);
                    break;
                }
                EXPECT_EQ(server.progress(), blocks + 1);
            }
            EXPECT_EQ(received, content);
            EXPECT_EQ(blocks, static_cast<int>(size / 512) + 1);
            EXPECT_EQ(server.connectionCount(), 0u);
        }
    }
}

TEST_F(TftpServerTest, RefusalsGoToTheManagementPort) {
    Serve("x");
    struct Case {
        std::vector<std::uint8_t> request;
        char code;
    };
    const Case cases[] = {{Rrq("FW.bin"), 1},
                          {Rrq("fw.bin", "netascii"), 4},
                          {Rrq("fw.bin", "OCTET"), 4},
                          {Bytes("\0\1fw.bin"s), 4},  // no NUL and no mode at all
                          {Rrq("other.bin", "mail"), 1}};
    for (const Case& c : cases) {
        const TftpActions a = server.OnDatagram(c.request, Host(9));
        ASSERT_EQ(a.sends.size(), 1u);
        EXPECT_EQ(a.sends[0].to, (TftpPeer{Host(9).address, 3456}));
        EXPECT_EQ(a.sends[0].bytes, "\0\6\0"s + c.code + '\0');
        EXPECT_EQ(server.connectionCount(), 0u);
    }
    EXPECT_FALSE(server.TakeTransferStarted());
}

TEST_F(TftpServerTest, NoFileChosenMatchesAnEmptyNameThenCannotOpen) {
    const TftpActions a = server.OnDatagram(Rrq(""), Host(3));
    EXPECT_EQ(a.message, tftp::kCannotOpenFile);
    EXPECT_TRUE(a.sends.empty());
    EXPECT_EQ(server.connectionCount(), 0u);
    EXPECT_FALSE(server.TakeTransferStarted());  // no progress window without a transfer
}

TEST_F(TftpServerTest, OptionsAreIgnoredAndASecondRequestRestarts) {
    Serve(std::string(2000, 'a'));
    TftpActions a = server.OnDatagram(Rrq("fw.bin", "octet",
                                          "blksize\0"
                                          "1428\0"s),
                                      Host(4));
    ASSERT_EQ(a.sends.size(), 1u);
    EXPECT_EQ(a.sends[0].bytes.size(), 516u);
    static_cast<void>(server.OnDatagram(Ack(1), Host(4)));
    a = server.OnDatagram(Rrq("fw.bin"), {Host(4).address, 4444});
    ASSERT_EQ(a.sends.size(), 1u);
    EXPECT_EQ(BlockOf(a.sends[0]), 1);
    EXPECT_EQ(a.sends[0].to.port, 4444);
    EXPECT_EQ(server.connectionCount(), 1u);
}

TEST_F(TftpServerTest, ElevenHostsTooManyAndSilentHostsAreDropped) {
    Serve(std::string(5000, 'b'));
    for (int h = 1; h <= 10; ++h) {
        static_cast<void>(server.OnDatagram(Rrq("fw.bin"), Host(h)));
    }
    const TftpActions eleventh = server.OnDatagram(Rrq("fw.bin"), Host(11));
    EXPECT_EQ(eleventh.message, tftp::kTooManyConnections);
    EXPECT_EQ(eleventh.ended, (std::vector<TftpTransferEnd>{
                                  {Host(11).address, TftpTransferEnd::Kind::TooManyConnections}}));
    EXPECT_TRUE(eleventh.sends.empty());
    EXPECT_EQ(server.connectionCount(), 10u);
    // Hosts 2 to 10 keep acknowledging; host 1 falls silent.
    int sendsToSilent = 1;  // the first send
    int host2Block = 1;
    bool dropped = false;
    for (int tick = 1; tick <= 160 && !dropped; ++tick) {
        const TftpActions a = server.OnTick();
        for (const TftpDatagram& d : a.sends) {
            sendsToSilent += d.to == Host(1) ? 1 : 0;
            if (d.to != Host(1)) {
                for (const TftpDatagram& n : server.OnDatagram(Ack(BlockOf(d)), d.to).sends) {
                    host2Block = n.to == Host(2) ? BlockOf(n) : host2Block;
                }
            }
        }
        if (a.endProgress) {
            dropped = true;
            EXPECT_EQ(tick, 150);  // 15 s after the last progress
            EXPECT_EQ(a.ended, (std::vector<TftpTransferEnd>{
                                   {Host(1).address, TftpTransferEnd::Kind::Abandoned}}));
            EXPECT_FALSE(server.ProgressOf(Host(1).address));
        }
    }
    EXPECT_TRUE(dropped);
    EXPECT_EQ(sendsToSilent, 5);
    EXPECT_EQ(server.connectionCount(), 9u);
    EXPECT_GT(host2Block, 4);  // the others went on meanwhile
    const TftpActions next = server.OnDatagram(Ack(host2Block), Host(2));
    ASSERT_EQ(next.sends.size(), 1u);
    EXPECT_EQ(BlockOf(next.sends[0]), host2Block + 1);
}

TEST_F(TftpServerTest, OneTransferEndingLeavesTheOtherAndTheFileOpen) {
    Serve(std::string(600, 'c'));
    static_cast<void>(server.OnDatagram(Rrq("fw.bin"), Host(1)));
    static_cast<void>(server.OnDatagram(Rrq("fw.bin"), Host(2)));
    static_cast<void>(server.OnDatagram(Ack(1), Host(1)));
    // Each host's own progress: 600 bytes take two blocks.
    EXPECT_EQ(server.ProgressOf(Host(1).address)->block, 2);
    EXPECT_EQ(server.ProgressOf(Host(1).address)->blockCount, 2);
    EXPECT_EQ(server.ProgressOf(Host(2).address)->block, 1);
    const TftpActions done = server.OnDatagram(Ack(2), Host(1));
    EXPECT_EQ(done.message, tftp::kUpgradeOk);
    EXPECT_EQ(done.ended,
              (std::vector<TftpTransferEnd>{{Host(1).address, TftpTransferEnd::Kind::Completed}}));
    const TftpActions a = server.OnDatagram(Ack(1), Host(2));
    ASSERT_EQ(a.sends.size(), 1u);
    EXPECT_EQ(a.sends[0].bytes, "\0\3\0\2"s + std::string(88, 'c'));
}

TEST_F(TftpServerTest, StrayPacketsChangeNothing) {
    Serve("abc");
    static_cast<void>(server.OnDatagram(Rrq("fw.bin"), Host(1)));
    const std::vector<std::vector<std::uint8_t>> stray = {
        Ack(1),       {},           {0},       {0, 2, 'x', 0},
        {0, 3, 0, 1}, {0, 5, 0, 0}, {0, 4, 0}, std::vector<std::uint8_t>(257, 0),
    };
    for (const auto& datagram : stray) {
        const TftpActions a = server.OnDatagram(datagram, Host(7));  // host 7 has no transfer
        EXPECT_TRUE(a.sends.empty());
        EXPECT_FALSE(a.message);
    }
    EXPECT_TRUE(server.OnDatagram(Ack(2), Host(1)).sends.empty());  // not the block in flight
    EXPECT_EQ(server.connectionCount(), 1u);
}

// Another file is chosen while a slow card still fetches the first: each card gets only the
// bytes of the file whose name it asked for, with that file's own progress range.
TEST_F(TftpServerTest, EachTransferKeepsTheFileItAskedFor) {
    const std::string first(1500, 'a');
    const std::string second(700, 'b');
    Serve(first);
    TftpActions a = server.OnDatagram(Rrq("fw.bin"), Host(5));
    ASSERT_EQ(a.sends.size(), 1u);
    EXPECT_EQ(a.sends[0].bytes.substr(4), first.substr(0, 512));
    EXPECT_EQ(server.blockCount(), 2);

    firmware = {(dir.path() / "new.bin").string(), "new.bin"};
    dir.Write("new.bin", second);
    a = server.OnDatagram(Rrq("new.bin"), Host(6));
    ASSERT_EQ(a.sends.size(), 1u);
    EXPECT_EQ(a.sends[0].bytes.substr(4), second.substr(0, 512));
    EXPECT_EQ(server.blockCount(), 1);
    // The old name is no longer served to anyone new.
    a = server.OnDatagram(Rrq("fw.bin"), Host(7));
    ASSERT_EQ(a.sends.size(), 1u);
    EXPECT_EQ(a.sends[0].to.port, tftp::kRefusalPort);

    // The first card goes on with the first file to its end, the second with the second.
    a = server.OnDatagram(Ack(1), Host(5));
    EXPECT_EQ(a.sends.at(0).bytes.substr(4), first.substr(512, 512));
    a = server.OnDatagram(Ack(1), Host(6));
    EXPECT_EQ(a.sends.at(0).bytes.substr(4), second.substr(512));
    a = server.OnDatagram(Ack(2), Host(5));
    EXPECT_EQ(a.sends.at(0).bytes.substr(4), first.substr(1024));
    // Retransmission reads the right file too.
    a = Ticks(tftp::kRetransmitTicks);
    ASSERT_EQ(a.sends.size(), 2u);
    EXPECT_EQ(a.sends[0].bytes.substr(4), first.substr(1024));
    EXPECT_EQ(a.sends[1].bytes.substr(4), second.substr(512));
}

// The progress window may open after blocks went: it starts from where the transfer is.
TEST_F(TftpServerTest, ProgressFollowsTheBlocksAcknowledged) {
    Serve(std::string(5000, 'x'));
    static_cast<void>(server.OnDatagram(Rrq("fw.bin"), Host(5)));
    EXPECT_EQ(server.progress(), 0);
    for (int block = 1; block <= 4; ++block) {
        static_cast<void>(server.OnDatagram(Ack(block), Host(5)));
        EXPECT_EQ(server.progress(), block + 1);
    }
    EXPECT_EQ(server.progress(), 5);
}

// A file whose reads fail once broken is set, as a disk or a network file system may.
class FailingReader : public FirmwareReader {
public:
    FailingReader(std::string bytes, const bool& broken)
        : bytes_(std::move(bytes)), broken_(broken) {}
    std::uint64_t size() const override { return bytes_.size(); }
    std::optional<std::size_t> ReadAt(std::uint64_t offset, std::span<char> buffer) override {
        if (broken_) {
            return std::nullopt;
        }
        const std::size_t got = std::min<std::size_t>(buffer.size(), bytes_.size() - offset);
        std::copy_n(bytes_.begin() + static_cast<std::ptrdiff_t>(offset), got, buffer.begin());
        return got;
    }

private:
    std::string bytes_;
    const bool& broken_;
};

// A read that fails half way stops the transfer: the card is never sent a short block that
// would end it, as if a cut image were the whole firmware. Found on an acknowledgement and on
// a retransmission alike.
TEST(TftpServerReads, AReadFailingMidTransferStopsIt) {
    for (const bool onRetransmission : {false, true}) {
        SCOPED_TRACE(onRetransmission);
        bool broken = false;
        TftpServer server(
            [] {
                return ServedFirmware{"/firmware/fw.bin", "fw.bin"};
            },
            [&](const std::filesystem::path&) {
                return std::make_unique<FailingReader>(std::string(4 * 512, 'f'), broken);
            });
        const TftpPeer card = Host(5);
        ASSERT_EQ(server.OnDatagram(Rrq("fw.bin"), card).sends.size(), 1u);
        ASSERT_EQ(server.OnDatagram(Ack(1), card).sends.size(), 1u);
        TftpActions a;
        if (onRetransmission) {
            ASSERT_EQ(server.OnDatagram(Ack(2), card).sends.size(), 1u);  // block 3 is out
            broken = true;
            for (int tick = 0; tick < tftp::kRetransmitTicks && a.ended.empty(); ++tick) {
                a = server.OnTick();
            }
        } else {
            broken = true;
            a = server.OnDatagram(Ack(2), card);
        }
        EXPECT_TRUE(a.sends.empty()) << "a short block would have ended the transfer";
        ASSERT_EQ(a.ended.size(), 1u);
        EXPECT_EQ(a.ended[0].kind, TftpTransferEnd::Kind::CannotReadFile);
        EXPECT_EQ(a.message, tftp::CannotReadFile(card.address));
        EXPECT_TRUE(a.endProgress);
        EXPECT_EQ(server.connectionCount(), 0u);
    }
}

}  // namespace
}  // namespace parvolink