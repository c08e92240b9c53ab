#pragma once
// A desk core on a fresh data folder, with simulated readers on pseudo-terminals for the ports a
// test attaches, a view and a capture that record what the core asked of them. Main thread.

#include "desk/deskcore.h"
#include "desk/speechengine.h"
#include "readerlink/reader.h"
#include "store/clock.h"
#include "store/datasrc.h"
#include "store/paths.h"
#include "store/settings.h"
#include "testsupport/fakemessages.h"
#include "testsupport/readersim.h"
#include "testsupport/rows.h"
#include "testsupport/simports.h"
#include "testsupport/spin.h"
#include "testsupport/tempdata.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLocale>

#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

class RecordingView : public IDeskView
{
public:
    void ShowRecordCount() override { ++recordCounts; }
    void ShowStaffPhoto(int card) override { photos.push_back(card); }
    void ShowCapturedImage(int card, const QDateTime &time) override
    {
        captured.push_back({card, time});
    }
    void SetInOutPanel(bool isIn) override { panels.push_back(isIn); }
    void SetStatusClock(const QString &text) override { clocks << text; }
    void SetDoorButtonCaption(const QString &text) override { captions << text; }
    void ShowStatusNotice(const QString &text) override { notices << text; }
    void ShowWaitingRows(int count) override { waiting.push_back(count); }

    int recordCounts = 0;
    std::vector<int> photos;
    std::vector<std::pair<int, QDateTime>> captured;
    std::vector<bool> panels;
    std::vector<int> waiting;
    QStringList clocks, captions, notices;
};

class RecordingCapture : public ICaptureControl
{
public:
    void SetSnapshotFileName(const QString &fileName) override { names << fileName; }
    void TakeSnapshot(int quality) override
    {
        qualities.push_back(quality);
        ++takes;
    }
    bool IsCapturing() const override { return capturing; }

    bool capturing = false;
    QStringList names;
    std::vector<int> qualities;
    std::atomic<int> takes{0};
};

// One reader row; the defaults are an enabled IN reader that is its own lock.
struct ReaderRow
{
    bool enable = true;
    int outport = -1; // -1: the reader's own port
    int bpport = -1;
    int mode = 1;
    QString desc; // empty: "Door <port>"
    int locktime = 3;
    bool apb = false;
    bool capture = false;
    int motion = -1;
};

// A reader of the given mode whose door is the relay of outport.
inline ReaderRow Row(int mode, int outport, int locktime = 3)
{
    ReaderRow r;
    r.mode = mode;
    r.outport = outport;
    r.locktime = locktime;
    return r;
}

class DeskCoreTest : public TempDataTest
{
protected:
    void SetUp() override
    {
        TempDataTest::SetUp();
        ASSERT_TRUE(Data().IsValid());
        m_locale = QLocale();
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    }

    void TearDown() override
    {
        core.reset();
        for (auto &[port, sim] : sims)
            sim->Stop();
        sims.clear();
        SetSpeechEngineFactory({});
        PinClock(QDateTime());
        QLocale::setDefault(m_locale);
        TempDataTest::TearDown();
    }

    // A simulated reader whose device the port's setting names.
    ReaderSim &AttachSim(int port) { return AttachSimToPort(sims, port); }

    static void Exec(const QString &sql) { dsrc->src.Exec(sql); }

    static void ConfigureReader(int port, const ReaderRow &row)
    {
        const QString desc = row.desc.isEmpty() ? QStringLiteral("Door %1").arg(port) : row.desc;
        Exec(QStringLiteral("UPDATE reader SET ENABLE=%1, OUTPORT=%2, BPPORT=%3, MODE=%4, "
                            "DESC='%5', LOCKTIME=%6, APB=%7, CAPTURE=%8, MOTION=%9 "
                            "WHERE PORTNO=%10")
                 .arg(row.enable ? 1 : 0)
                 .arg(row.outport < 0 ? port : row.outport)
                 .arg(row.bpport < 0 ? port : row.bpport)
                 .arg(row.mode)
                 .arg(desc)
                 .arg(row.locktime)
                 .arg(row.apb ? 1 : 0)
                 .arg(row.capture ? 1 : 0)
                 .arg(row.motion)
                 .arg(port));
    }

    // A staff member with the right to pass the given ports.
    void StartCore()
    {
        core = std::make_unique<TDeskCore>(&view, &camera);
        core->SetupAllReaders();
    }

    // The text commands a reader received, as "~Y3", "~y", "~N", "~A".
    static std::vector<std::string> Texts(const ReaderSim &sim) { return SimTexts(sim); }

    // Waits for n text commands at the reader, then a little longer for any that should not
    // come, and returns them all.
    static std::vector<std::string> TextsSettled(const ReaderSim &sim, std::size_t n, int ms = 3000)
    {
        SpinUntil([&] { return Texts(sim).size() >= n; }, ms);
        SpinFor(150);
        return Texts(sim);
    }

    static int LogCount() { return dsrc->logs.RecordCount(); }
    static bool WaitForLogRows(int n, int ms = 3000)
    {
        return SpinUntil([n] { return LogCount() >= n; }, ms);
    }
    static QVariant LastLog(const char *field)
    {
        return dsrc->logs.FieldAt(LogCount() - 1, QString::fromLatin1(field));
    }

    FakeMessages messages;
    RecordingView view;
    RecordingCapture camera;
    std::map<int, std::unique_ptr<ReaderSim>> sims;
    std::unique_ptr<TDeskCore> core;

private:
    QLocale m_locale;
};
