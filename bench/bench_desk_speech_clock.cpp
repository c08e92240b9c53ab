// What a swipe pays for its greeting now that speech is queued, against speaking it on the
// spot, and what a repaint of the clock face costs; each against a baseline of the same run.

#include "desk/clock.h"
#include "desk/speechengine.h"
#include "testsupport/fakespeechengine.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <deque>
#include <map>
#include <mutex>
#include <string>

namespace {

const QStringList greeting{QStringLiteral("Good Morning"), QStringLiteral("Ann Lee")};
// Greetings per measured round: enough to fill the worker's queue without dropping any.
constexpr int Swipes = SpeechWorker::MaxPending / 2;

// Baseline: the least any hand-over to another thread costs, locked pushes.
void BM_BaselineLockedQueue(benchmark::State &state)
{
    std::mutex mutex;
    std::deque<QString> queue;
    for (auto _ : state) {
        for (int swipe = 0; swipe < Swipes; ++swipe) {
            std::lock_guard lock(mutex);
            for (const QString &phrase : greeting)
                queue.push_back(phrase);
        }
        state.PauseTiming();
        queue.clear();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_BaselineLockedQueue);

// Swipes queuing their greetings on the speech worker.
void BM_QueuedGreeting(benchmark::State &state)
{
    auto log = std::make_shared<FakeSpeechLog>();
    SpeechWorker worker(std::make_unique<FakeSpeechEngine>(log));
    for (auto _ : state) {
        for (int swipe = 0; swipe < Swipes; ++swipe)
            worker.Say(greeting);
        state.PauseTiming(); // let the worker empty its queue, so nothing is dropped
        worker.WaitIdle(10000);
        state.ResumeTiming();
    }
    state.SetLabel(std::to_string(log->Spoken().size()) + " phrases spoken");
}
BENCHMARK(BM_QueuedGreeting);

// The same greetings spoken on the spot by espeak-ng, as a synchronous swipe handler would.
// Without an audio device this is synthesis alone; with one, the spoken length is added.
void BM_SynchronousGreeting(benchmark::State &state)
{
    EspeakSpeechEngine engine;
    QString error;
    if (!engine.Start(&error)) {
        state.SkipWithError(qPrintable(error));
        return;
    }
    for (auto _ : state) {
        for (int swipe = 0; swipe < Swipes; ++swipe)
            for (const QString &phrase : greeting)
                engine.Speak(phrase);
    }
    state.SetLabel(engine.Silent() ? "synthesis only, no audio device" : "played");
    engine.Stop();
}
BENCHMARK(BM_SynchronousGreeting)->Unit(benchmark::kMillisecond)->Iterations(3);

// Baseline: clearing the paint box, which every repaint does anyway.
void BM_BaselineClearBox(benchmark::State &state)
{
    QImage box(200, 200, QImage::Format_RGB32);
    for (auto _ : state) {
        box.fill(Qt::black);
        benchmark::DoNotOptimize(box.constBits());
    }
}
BENCHMARK(BM_BaselineClearBox);

void BM_ClockRepaint(benchmark::State &state)
{
    QImage box(200, 200, QImage::Format_RGB32);
    int second = 0;
    for (auto _ : state) {
        box.fill(Qt::black);
        QPainter painter(&box);
        PaintClockFace(painter, 200, 200, QTime(10, 8, second));
        second = (second + 1) % 60;
    }
}
BENCHMARK(BM_ClockRepaint);

// Prints the usual table, then each timing as a ratio to its baseline.
class RatioReporter : public benchmark::ConsoleReporter
{
public:
    void ReportRuns(const std::vector<Run> &runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run &run : runs)
            if (!run.error_occurred && run.iterations > 0)
                m_ns[run.benchmark_name()] =
                    run.real_accumulated_time * 1e9 / static_cast<double>(run.iterations);
    }
    void Finalize() override
    {
        ConsoleReporter::Finalize();
        std::printf("\nRatios (per operation, against the baseline of this run):\n");
        ratio("BM_QueuedGreeting", "BM_BaselineLockedQueue");
        ratio("BM_SynchronousGreeting/iterations:3", "BM_QueuedGreeting");
        ratio("BM_ClockRepaint", "BM_BaselineClearBox");
    }

private:
    void ratio(const std::string &what, const std::string &base)
    {
        const auto a = m_ns.find(what);
        const auto b = m_ns.find(base);
        if (a == m_ns.end() || b == m_ns.end() || b->second <= 0) {
            std::printf("  %-40s n/a\n", what.c_str());
            return;
        }
        std::printf("  %-40s %12.1f x %s (%.0f ns vs %.0f ns)\n", what.c_str(),
                    a->second / b->second, base.c_str(), a->second, b->second);
    }
    std::map<std::string, double> m_ns;
};

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
