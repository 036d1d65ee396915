// SPDX-License-Identifier: GPL-3.0-or-later
// End-to-end tests run inside the test LAN (tests/lan/testlan): the program's own window and
// sockets in the PC namespace, simulated cards in the LAN namespace.
#pragma once

#include <gtest/gtest.h>

#include <QProcess>
#include <QStringList>
#include <QTest>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "app/MainDialog.h"
#include "shell/protocol/NetworkEnvironment.h"
#include "support/GuiTestSupport.h"
#include "support/TempDir.h"

namespace parvolink::testing {

// Starts parvolink-cardsim in the LAN namespace with the given options and stops it again.
class CardSimulator {
public:
    CardSimulator(const QStringList& options, const std::filesystem::path& log) {
        QStringList arguments = {"netns",
                                 "exec",
                                 qEnvironmentVariable("PARVOLINK_LAN_NS"),
                                 qEnvironmentVariable("PARVOLINK_CARDSIM"),
                                 "--log",
                                 QString::fromStdString(log.string())};
        process_.start("ip", arguments + options);
        process_.waitForStarted();
        // Ready once it says how many cards it runs.
        started_ = QTest::qWaitFor(
            [&] {
                process_.waitForReadyRead(50);
                output_ += process_.readAllStandardOutput();
                return output_.contains("cards on port");
            },
            10000);
    }
    ~CardSimulator() {
        process_.terminate();
        process_.waitForFinished(5000);
    }
    bool Running() const { return started_; }

private:
    QProcess process_;
    QByteArray output_;
    bool started_ = false;
};

class LanTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (qEnvironmentVariableIsEmpty("PARVOLINK_LAN_NS")) {
            GTEST_SKIP() << "runs only inside tests/lan/testlan";
        }
    }

    void StartCards(const QStringList& options = {}) {
        cards_ = std::make_unique<CardSimulator>(options, LogPath());
        ASSERT_TRUE(cards_->Running()) << "parvolink-cardsim did not start";
    }

    // The TFTP server takes any free port unless a test needs port 69 itself.
    MainDialog& OpenWindow(quint16 tftpPort = 0) {
        MainDialogServices services{network_, prompter, dir.path(), tftpPort};
        if (fastTicks) {
            services.operationTick = std::chrono::milliseconds(50);
            services.tftpTick = std::chrono::milliseconds(5);
        }
        window_ = std::make_unique<MainDialog>(std::move(services));
        window_->show();
        return *window_;
    }

    std::filesystem::path LogPath() const { return dir.path() / "cardsim.log"; }

    // The simulator's log lines that contain text.
    std::vector<std::string> LogLines(const std::string& text) const {
        std::vector<std::string> lines;
        std::ifstream in(LogPath());
        for (std::string line; std::getline(in, line);) {
            if (line.find(text) != std::string::npos) {
                lines.push_back(line);
            }
        }
        return lines;
    }

    TempDir dir;
    RecordingPrompter prompter;
    // Countdowns and retransmissions twenty times faster, for tests that wait them out.
    bool fastTicks = false;

private:
    SystemNetworkEnvironment network_;
    std::unique_ptr<CardSimulator> cards_;
    std::unique_ptr<MainDialog> window_;
};

}  // namespace parvolink::testing
