// The device switch of "Webcam Setup" over test cameras (160 x 120, 30 frames a second):
// 1. Choosing another device in the dialog until its first frame reaches the grabber, against
//    building and starting a bare pipeline for the same device until its first frame, taking
//    turns in one run. Target: switch p50 at most 1.5 x the bare pipeline's p50.
// 2. Swipes at a capturing reader over a pseudo-terminal, from the card frame's last byte to
//    the door command, with the start-up camera and then after a switch in the dialog.
//    Target: after the switch within 1.2 x the start-up figures (p50 and p99), and no swipe
//    held for a whole second.
//
// Usage: bench_webcam_setup [google benchmark flags]

#include "capture/DXCapture.h"
#include "desk/deskcamera.h"
#include "desk/deskcore.h"
#include "desk/setupwebcam.h"
#include "store/datasrc.h"
#include "store/settings.h"
#include "testsupport/benchsupport.h"
#include "testsupport/readersim.h"
#include "testsupport/spin.h"
#include "testsupport/tempdata.h"

#include <QComboBox>

#include <benchmark/benchmark.h>
#include <gst/app/gstappsink.h>
#include <gst/gst.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <map>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

std::map<std::string, std::vector<double>> g_ms;
const QStringList Names{QStringLiteral("Front"), QStringLiteral("Back")};

double msSince(Clock::time_point t0)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
}

// The control the main window's way, with a frame counter as the window's handler.
struct Camera
{
    VideoTestDeviceSource cams{Names};
    ScopedCaptureDeviceSource use{&cams};
    TCapture capture;
    std::atomic<int> frames{0};
    Camera()
    {
        capture.setFixedSize(160, 120);
        capture.OnChangeDevice = [this] { capture.SetVideoFormat(160, 120, 30.0, 24); };
        capture.OnVideoFormatChange = [] {};
        capture.SetVideoFormat(160, 120, 30.0, 24);
        capture.SetFrameHandler(
            MakeBufferEvent([this](int, const void *, int) { frames.fetch_add(1); }));
        capture.InitDevices();
        capture.SelectDevices(Names[0], QString());
        SpinUntil([this] { return frames.load() > 5; }, 3000);
    }
    // Chooses the other device in the dialog; answers its name.
    void Switch(TSetupWebcam &dialog)
    {
        dialog.cblist->setCurrentIndex(dialog.ItemIndex() == 1 ? 2 : 1);
    }
};

// The same chain the control builds, alone: device, convert, scale, rate, caps, sink.
double BarePipelineToFirstFrame(const QString &name)
{
    CaptureMonikerPtr moniker;
    for (const CaptureMonikerPtr &m :
         CurrentCaptureDeviceSource().Enumerate(CaptureCategory::Video))
        if (m->FriendlyName() == name)
            moniker = m;
    const auto t0 = Clock::now();
    unsigned result = 0;
    GstElement *pipeline = gst_pipeline_new(nullptr);
    GstElement *source = moniker->BindToObject(&result);
    GstElement *convert = gst_element_factory_make("videoconvert", nullptr);
    GstElement *scale = gst_element_factory_make("videoscale", nullptr);
    GstElement *rate = gst_element_factory_make("videorate", nullptr);
    GstElement *caps = gst_element_factory_make("capsfilter", nullptr);
    GstElement *sink = gst_element_factory_make("appsink", nullptr);
    GstCaps *wanted = gst_caps_from_string(
        "video/x-raw,format=BGR,width=160,height=120,framerate=30/1,pixel-aspect-ratio=1/1");
    g_object_set(caps, "caps", wanted, nullptr);
    gst_caps_unref(wanted);
    g_object_set(sink, "sync", FALSE, "max-buffers", 2, "drop", TRUE, nullptr);
    gst_bin_add_many(GST_BIN(pipeline), source, convert, scale, rate, caps, sink, nullptr);
    gst_element_link_many(source, convert, scale, rate, caps, sink, nullptr);
    std::atomic<bool> first{false};
    GstAppSinkCallbacks callbacks{};
    callbacks.new_sample = [](GstAppSink *s, gpointer flag) -> GstFlowReturn {
        if (GstSample *sample = gst_app_sink_pull_sample(s))
            gst_sample_unref(sample);
        static_cast<std::atomic<bool> *>(flag)->store(true);
        return GST_FLOW_OK;
    };
    gst_app_sink_set_callbacks(GST_APP_SINK(sink), &callbacks, &first, nullptr);
    gst_element_set_state(pipeline, GST_STATE_PLAYING);
    SpinUntil([&] { return first.load(); }, 3000);
    const double ms = msSince(t0);
    gst_element_set_state(pipeline, GST_STATE_NULL);
    gst_object_unref(pipeline);
    return ms;
}

void BM_SwitchAgainstBarePipeline(benchmark::State &state)
{
    Camera cam;
    if (!cam.capture.Previewing()) {
        state.SkipWithError("test camera did not run");
        return;
    }
    WriteRegString(QStringLiteral("CamSource"), Names[0]);
    TSetupWebcam dialog(cam.capture);
    bool bare = false;
    for (auto _ : state) {
        bare = !bare;
        double ms;
        if (bare) {
            ms = BarePipelineToFirstFrame(Names[dialog.ItemIndex() == 1 ? 1 : 0]);
        } else {
            const auto t0 = Clock::now();
            cam.Switch(dialog);
            const int before = cam.frames.load();
            SpinUntil([&] { return cam.frames.load() > before; }, 3000);
            ms = msSince(t0);
        }
        g_ms[bare ? "bare pipeline" : "dialog switch"].push_back(ms);
        state.SetIterationTime(ms / 1000);
    }
}

// One capturing reader on a desk with the camera running.
struct DoorRig
{
    DoorRig()
    {
        data = std::make_unique<TempData>();
        FillDeskDatabases(100000, 1000);
        sim.Start();
        WriteRegString(QStringLiteral("COM1Device"), QString::fromStdString(sim.DevicePath()));
        for (int n = 2; n <= 8; ++n)
            WriteRegString(QStringLiteral("COM%1Device").arg(n), QStringLiteral("/nonexistent"));
        dsrc->src.Exec(QStringLiteral("UPDATE reader SET CAPTURE=1 WHERE PORTNO=1"));
        camera = std::make_unique<DeskCamera>(cam.capture, [this] {
            if (core)
                core->CaptureSnapshotDone();
        });
        cam.capture.SetFrameHandler(camera->SnapshotDoneHandler());
        core = std::make_unique<TDeskCore>(nullptr, camera.get());
        core->SetupAllReaders();
    }
    ~DoorRig()
    {
        cam.capture.StopPreview();
        core.reset();
        sim.Stop();
    }
    Camera cam;
    std::unique_ptr<TempData> data;
    ReaderSim sim;
    std::unique_ptr<DeskCamera> camera;
    std::unique_ptr<TDeskCore> core;
};

// From the card frame's last byte to the door command; held: until the desk let go of it.
void Swipe(ReaderSim &sim, const std::string &label)
{
    const std::size_t n = sim.Received().size() + 1;
    std::atomic<bool> arrived{false};
    Clock::time_point at;
    const Clock::time_point sent = sim.SendCard(77);
    std::thread watch([&] {
        sim.WaitForFrames(n, 3000);
        at = Clock::now();
        arrived.store(true);
    });
    // The desk's handler, snapshot wait included, runs inside this loop.
    SpinUntil([&] { return arrived.load(); }, 3000);
    watch.join();
    g_ms["held, " + label].push_back(
        std::chrono::duration<double, std::milli>(Clock::now() - sent).count());
    g_ms["door, " + label].push_back(std::chrono::duration<double, std::milli>(at - sent).count());
    SpinFor(10);
}

void BM_SwipesAfterSwitch(benchmark::State &state)
{
    DoorRig rig;
    if (!rig.cam.capture.Previewing()) {
        state.SkipWithError("test camera did not run");
        return;
    }
    WriteRegString(QStringLiteral("CamSource"), Names[0]);
    TSetupWebcam dialog(rig.cam.capture);
    // Rounds of swipes with the start-up camera, then the same after a switch and back.
    int i = 0;
    for (auto _ : state) {
        const int round = i++ % 100;
        if (round == 50)
            rig.cam.Switch(dialog);
        const bool switched = round >= 50;
        if (round == 0 && i > 1) {
            // Back to the start-up camera through a fresh device change.
            rig.cam.capture.SelectDevices(Names[0], QString());
            dialog.cblist->blockSignals(true);
            dialog.cblist->setCurrentIndex(1);
            dialog.cblist->blockSignals(false);
        }
        if (round == 0 || round == 50)
            SpinFor(200); // the first frames of the new chain
        Swipe(rig.sim, switched ? "after switch" : "start-up");
        state.SetIterationTime(g_ms[switched ? "door, after switch" : "door, start-up"].back() /
                               1000);
    }
}

BENCHMARK(BM_SwitchAgainstBarePipeline)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(60);
BENCHMARK(BM_SwipesAfterSwitch)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(400);

} // namespace

int main(int argc, char **argv)
{
    BenchApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();

    const auto row = [](const char *name) {
        const std::vector<double> &v = g_ms[name];
        std::printf("  %-20s p50 %7.2f ms  p99 %7.2f ms  max %7.2f ms  (n=%zu)\n", name,
                    Percentile(v, 0.5), Percentile(v, 0.99),
                    v.empty() ? 0.0 : *std::max_element(v.begin(), v.end()), v.size());
    };
    std::printf("\nDevice switch to its first frame, against a bare pipeline:\n");
    row("bare pipeline");
    row("dialog switch");
    const double bare = Percentile(g_ms["bare pipeline"], 0.5);
    if (bare > 0) {
        const double r = Percentile(g_ms["dialog switch"], 0.5) / bare;
        std::printf("  p50 ratio switch/bare = %.2f %s 1.5\n", r, r <= 1.5 ? "<=" : "> (FAILS)");
    }
    std::printf("\nSwipe to door at a capturing reader, start-up camera against after a switch:\n");
    row("door, start-up");
    row("door, after switch");
    row("held, start-up");
    row("held, after switch");
    const double s50 = Percentile(g_ms["door, start-up"], 0.5);
    const double s99 = Percentile(g_ms["door, start-up"], 0.99);
    if (s50 > 0 && s99 > 0) {
        const double r50 = Percentile(g_ms["door, after switch"], 0.5) / s50;
        const double r99 = Percentile(g_ms["door, after switch"], 0.99) / s99;
        std::printf("  p50 ratio = %.2f, p99 ratio = %.2f %s 1.2\n", r50, r99,
                    std::max(r50, r99) <= 1.2 ? "<=" : "> (FAILS)");
    }
    double held = 0;
    for (const char *k : {"held, start-up", "held, after switch"})
        for (double v : g_ms[k])
            held = std::max(held, v);
    std::printf("  longest hold %.2f ms %s 1000 ms\n", held, held < 1000 ? "<" : ">= (FAILS)");
    return 0;
}
