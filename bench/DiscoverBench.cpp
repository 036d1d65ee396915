// Discover on a /24 with 253 simulated cards, inside the test LAN (bench/run-lan). Reports the
// time from pressing Discover to the last card listed, against the 1.2 s that the sweep's
// pauses cost by themselves, and the longest stall of the event loop while the sweep runs.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>

#include "app/MainDialog.h"
#include "app/NetworkEnvironment.h"
#include "app/Prompter.h"

namespace {

using namespace parvolink;

constexpr std::size_t kCards = 253;
constexpr double kPauseSeconds = 12 * 0.1;  // 255 sweep sends, a pause after every 21

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

// Presses Discover on an empty list and runs the event loop until every card is listed.
Measurement DiscoverOnce(MainDialog& window) {
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
        if (window.deviceList().size() >= kCards && m.toLastRow == 0) {
            m.toLastRow = static_cast<double>(clock.nsecsElapsed()) / 1e9;
            m.complete = true;
        }
        if (!window.Discovering() && m.sweep == 0) {
            m.sweep = static_cast<double>(clock.nsecsElapsed()) / 1e9;
        }
        if ((m.complete && !window.Discovering()) || clock.elapsed() > 20000) {
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

void BM_DiscoverSlash24(benchmark::State& state, MainDialog* window) {
    double longestStall = 0;
    double total = 0;
    double sweeps = 0;
    for (auto _ : state) {
        const Measurement m = DiscoverOnce(*window);
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
    state.counters["sweep_over_pauses_s"] = sweeps / iterations - kPauseSeconds;
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
    DiscoverOnce(window);  // warm-up: the simulator is up and every path is paged in

    benchmark::RegisterBenchmark("DiscoverSlash24_253Cards", BM_DiscoverSlash24, &window)
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond)
        ->Iterations(5);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
