// SPDX-License-Identifier: GPL-3.0-or-later
// Discover inside the test LAN (bench/run-lan). On a /24 with 253 simulated cards it reports the
// time from pressing Discover to the last card listed, against the 1.2 s that the sweep's
// pauses cost by themselves, and the longest stall of the event loop while the sweep runs. On
// a sparse /16 (a few cards, every other address silent) it reports the sweep's length
// against its pauses, and the longest stall.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>

#include "app/MainDialog.h"
#include "core/protocol/DiscoverSweep.h"
#include "kit/IpAddressEdit.h"
#include "kit/Prompter.h"
#include "shell/protocol/NetworkEnvironment.h"

namespace {

using namespace parvolink;

class QuietPrompter : public Prompter {
public:
    void ShowMessage(QWidget*, const Message&) override {}
    bool AskYesNo(QWidget*, const Message&) override { return false; }
};

struct Measurement {
    double toLastRow = 0;
    double sweep = 0;
    double longestStallMs = 0;
    bool complete = false;
};

// What one benchmark sweeps: the cards that answer, and the seconds its pauses take.
struct Network {
    std::size_t cards = 0;
    double pauseSeconds = 0;
    int limitMs = 20000;
};

// Presses Discover on an empty list and runs the event loop until every card is listed.
Measurement DiscoverOnce(MainDialog& window, const Network& network) {
    window.deviceList().Clear();
    Measurement m;
    QElapsedTimer clock;
    QElapsedTimer sinceLastTurn;
    QTimer probe;  // fires as often as the loop lets it: the gaps are the stalls
    probe.setTimerType(Qt::PreciseTimer);
    probe.setInterval(0);
    QEventLoop loop;
    QObject::connect(&probe, &QTimer::timeout, [&] {
        const double gap = static_cast<double>(sinceLastTurn.nsecsElapsed()) / 1e6;
        sinceLastTurn.restart();
        if (window.Discovering()) {
            m.longestStallMs = std::max(m.longestStallMs, gap);
        }
        if (window.deviceList().size() >= network.cards && m.toLastRow == 0) {
            m.toLastRow = static_cast<double>(clock.nsecsElapsed()) / 1e9;
            m.complete = true;
        }
        if (!window.Discovering() && m.sweep == 0) {
            m.sweep = static_cast<double>(clock.nsecsElapsed()) / 1e9;
        }
        if ((m.complete && !window.Discovering()) || clock.elapsed() > network.limitMs) {
            loop.quit();
        }
    });
    clock.start();
    sinceLastTurn.start();
    probe.start();
    window.OnDiscover();
    loop.exec();
    return m;
}

void BM_Discover(benchmark::State& state, MainDialog* window, Network network) {
    double longestStall = 0;
    double total = 0;
    double sweeps = 0;
    for (auto _ : state) {
        const Measurement m = DiscoverOnce(*window, network);
        if (!m.complete) {
            state.SkipWithError("not every card was listed");
            return;
        }
        state.SetIterationTime(m.toLastRow);
        longestStall = std::max(longestStall, m.longestStallMs);
        total += m.toLastRow;
        sweeps += m.sweep;
    }
    const double iterations = static_cast<double>(state.iterations());
    // Every card answers the directed broadcast at once, so the rows are usually listed long
    // before the sweep ends; the sweep itself is what the pauses pace.
    state.counters["to_last_row_s"] = total / iterations;
    state.counters["sweep_s"] = sweeps / iterations;
    state.counters["pauses_s"] = network.pauseSeconds;
    state.counters["sweep_over_pauses_s"] = sweeps / iterations - network.pauseSeconds;
    state.counters["longest_stall_ms"] = longestStall;
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    SystemNetworkEnvironment network;
    QuietPrompter prompter;
    MainDialog window({network, prompter, std::filesystem::temp_directory_path(), 0});
    window.show();
    const Ipv4Address subnet = window.findChild<IpAddressEdit*>("1016")->Address();
    const Ipv4Address mask = window.findChild<IpAddressEdit*>("1017")->Address();
    Network swept;
    swept.cards = qEnvironmentVariableIntValue("PARVOLINK_LAN_CARDS");
    swept.pauseSeconds =
        static_cast<double>(DiscoverSweep(subnet, mask).PausesWhenAllSucceed()) * 0.1;
    if (mask[2] == 255) {
        DiscoverOnce(window, swept);  // warm-up: the simulator is up, every path paged in
        benchmark::RegisterBenchmark("DiscoverSlash24", BM_Discover, &window, swept)
            ->UseManualTime()
            ->Unit(benchmark::kMillisecond)
            ->Iterations(5);
    } else {
        // Minutes of pauses: one sweep, given twice its pauses to finish.
        swept.limitMs = static_cast<int>(swept.pauseSeconds * 2000);
        benchmark::RegisterBenchmark("DiscoverSparseWide", BM_Discover, &window, swept)
            ->UseManualTime()
            ->Unit(benchmark::kSecond)
            ->Iterations(1);
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
