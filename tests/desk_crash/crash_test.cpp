// Killing the desk in the middle of a burst of swipes: every row it had committed is still
// there, both databases pass an integrity check, and the next start serves swipes as before;
// also while its web report serves pages and another program reads the files meanwhile.
// The desk runs in a child process: this same test program, started on the test below that
// only runs when the parent hands it a data folder.

#include "desk/deskcore.h"
#include "desk/web/webreport.h"
#include "store/datasrc.h"
#include "store/dbfile.h"
#include "store/paths.h"
#include "store/settings.h"
#include "testsupport/outsidereader.h"
#include "testsupport/readersim.h"
#include "testsupport/spin.h"
#include "testsupport/tempdata.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSaveFile>
#include <QStringList>
#include <gtest/gtest.h>
#include <httplib.h>

#include <atomic>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

const char *const kDataEnv = "TALLYCLOCK_CRASH_DATA";
const char *const kDevicesEnv = "TALLYCLOCK_CRASH_DEVICES";
const char *const kWebEnv = "TALLYCLOCK_CRASH_WEB";
// Where the child tells the port its web report listens on.
const char *const kPortFile = "web.port";
constexpr int kReaders = 2;
constexpr int kCards = 20;

int doorCommands(const ReaderSim &sim)
{
    int n = 0;
    for (const ReaderSim::Frame &f : sim.Received())
        if (f.kind == ReaderSim::Frame::Text && f.payload.size() >= 2 && f.payload[0] == '~' &&
            f.payload[1] == 'Y')
            ++n;
    return n;
}

QString pragma(TDatabase &db, const char *sql)
{
    TStatement st = db.Prepare(QString::fromLatin1(sql));
    return st.Step() ? st.ColumnText(0) : QString();
}

// The child: a desk on the parent's data folder, serving until it is killed.
TEST(CrashChild, ServeUntilKilled)
{
    const QString data = qEnvironmentVariable(kDataEnv);
    if (data.isEmpty())
        GTEST_SKIP() << "runs only as the child of the crash test";
    const QStringList devices = qEnvironmentVariable(kDevicesEnv).split(QLatin1Char(','));
    for (int i = 0; i < devices.size(); ++i)
        WriteRegString(QStringLiteral("COM%1Device").arg(i + 1), devices[i]);
    AppPath = DataPath = data;
    PhotoPath = QDir(data).filePath(QStringLiteral("photos"));

    Tdsrc module;
    dsrc = &module;
    module.OpenAttend(QDir(data).filePath(AttendFileName()));
    module.logs.Open();
    module.logs.Last();
    module.OpenSysdat(QDir(data).filePath(SysdatFileName()));
    for (TDataSet *ds :
         {&module.apb, &module.emails, &module.staff, &module.gidtbl, &module.Qiotime})
        ds->Open();
    TDeskCore core;
    core.SetupAllReaders();
    std::unique_ptr<TWebReporter> web;
    if (qEnvironmentVariableIsSet(kWebEnv)) {
        web = std::make_unique<TWebReporter>(QDir(data).filePath(AttendFileName()),
                                             QDir(data).filePath(SysdatFileName()));
        QString error;
        ASSERT_TRUE(web->Start(0, &error)) << error.toStdString();
        QSaveFile port(QDir(data).filePath(QString::fromLatin1(kPortFile)));
        ASSERT_TRUE(port.open(QIODevice::WriteOnly));
        port.write(QByteArray::number(web->Port()));
        ASSERT_TRUE(port.commit());
    }
    for (;;)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
}

class DeskCrash : public TempDataTest
{
protected:
    void SetUp() override
    {
        TempDataTest::SetUp();
        TDatabase &src = Data().Dsrc().src;
        for (int port = 1; port <= kReaders; ++port)
            src.Exec(QStringLiteral("UPDATE reader SET ENABLE=1, OUTPORT=%1, MODE=1, APB=0, "
                                    "LOCKTIME=3 WHERE PORTNO=%1")
                         .arg(port));
        for (int card = 1; card <= kCards; ++card)
            src.Exec(QStringLiteral("INSERT INTO staffs (CARDNO, NAME, WORKGRP, COM1, COM2) "
                                    "VALUES (%1, 'Staff %1', 1, 1, 1)")
                         .arg(card));
        Data().CloseDatabases();
        for (int i = 0; i < kReaders; ++i) {
            sims.push_back(std::make_unique<ReaderSim>());
            ASSERT_TRUE(sims.back()->Start()) << sims.back()->ErrorText();
        }
    }

    void TearDown() override
    {
        if (child.state() != QProcess::NotRunning) {
            child.kill();
            child.waitForFinished(5000);
        }
        for (auto &sim : sims)
            sim->Stop();
        TempDataTest::TearDown();
    }

    void startDesk(bool web = false)
    {
        QStringList devices;
        for (auto &sim : sims)
            devices << QString::fromStdString(sim->DevicePath());
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QString::fromLatin1(kDataEnv), Data().Dir());
        env.insert(QString::fromLatin1(kDevicesEnv), devices.join(QLatin1Char(',')));
        if (web)
            env.insert(QString::fromLatin1(kWebEnv), QStringLiteral("1"));
        else
            env.remove(QString::fromLatin1(kWebEnv));
        child.setProcessEnvironment(env);
        child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        child.start(QCoreApplication::applicationFilePath(),
                    {QStringLiteral("--gtest_filter=CrashChild.*")});
        ASSERT_TRUE(child.waitForStarted(5000));
    }

    // Swipes at reader 1 until the desk answers one: it is up and serving.
    bool waitUntilServing()
    {
        const int before = doorCommands(*sims[0]);
        for (int attempt = 0; attempt < 100; ++attempt) {
            sims[0]->SendCard(1);
            SpinUntil([&] { return doorCommands(*sims[0]) > before; }, 100);
            if (doorCommands(*sims[0]) > before)
                return true;
        }
        return false;
    }

    int allDoorCommands() const
    {
        int n = 0;
        for (const auto &sim : sims)
            n += doorCommands(*sim);
        return n;
    }

    // Swipes on both readers for ms; between runs after each round of them.
    void burst(int ms, const std::function<void(int sent)> &between = {})
    {
        QElapsedTimer timer;
        timer.start();
        int sent = 0;
        while (timer.elapsed() < ms) {
            for (auto &sim : sims)
                sim->SendCard(1 + sent % kCards);
            ++sent;
            SpinFor(8);
            if (between)
                between(sent);
        }
    }

    // SIGKILL, no clean-up of any kind; then every swipe the desk answered is in the file
    // (the door opens only after the swipe's row, with its LOCK, is committed) and both files
    // pass an integrity check.
    void killAndCheck()
    {
        child.kill();
        ASSERT_TRUE(child.waitForFinished(5000));
        SpinFor(100);
        const int answered = allDoorCommands();
        ASSERT_GT(answered, 20) << "too few swipes were served to say anything";
        for (DbKind kind : {DbKind::Attend, DbKind::Sysdat}) {
            const QString path = kind == DbKind::Attend ? Data().AttendPath() : Data().SysdatPath();
            auto db = OpenDatabaseFile(path, kind, TDatabase::OpenMode::ReadWrite);
            EXPECT_EQ(pragma(*db, "PRAGMA integrity_check"), QStringLiteral("ok"))
                << path.toStdString();
            if (kind == DbKind::Attend) {
                const int opened =
                    pragma(*db, "SELECT COUNT(*) FROM recorder WHERE LOCK > 0").toInt();
                EXPECT_GE(opened, answered);
                std::printf("served %d swipes, %d rows with an open door after the kill\n",
                            answered, opened);
            }
        }
    }

    std::vector<std::unique_ptr<ReaderSim>> sims;
    QProcess child;
};

TEST_F(DeskCrash, KilledMidBurstLosesNoCommittedRow)
{
    startDesk();
    ASSERT_TRUE(waitUntilServing()) << "the desk never answered a swipe";

    // A burst on both readers; the desk is killed while swipes are still arriving.
    burst(1500);
    killAndCheck();
    if (HasFatalFailure())
        return;

    // The next start serves swipes as before.
    for (auto &sim : sims)
        sim->ClearReceived();
    startDesk();
    EXPECT_TRUE(waitUntilServing()) << "the desk did not serve after the crash";
}

// The web report's connections open and close beside the desk's own while another program
// (the sqlite3 shell, as a backup script would) reads both files between swipes: the desk
// must keep its hold on the files, or the reader folds the logs back, deletes them, and the
// desk's later commits go into deleted files.
TEST_F(DeskCrash, PagesAndOutsideReadersMeanwhileLoseNoRow)
{
    const QString portFile = QDir(Data().Dir()).filePath(QString::fromLatin1(kPortFile));
    startDesk(true);
    ASSERT_TRUE(waitUntilServing()) << "the desk never answered a swipe";
    int port = 0;
    SpinUntil(
        [&] {
            QFile f(portFile);
            port = f.open(QIODevice::ReadOnly) ? f.readAll().toInt() : 0;
            return port > 0;
        },
        5000);
    ASSERT_GT(port, 0) << "the desk's web report did not start";

    // A browser asking a page every 20 ms the whole time.
    std::atomic<bool> stop{false};
    std::atomic<int> pages{0};
    std::thread browser([&] {
        httplib::Client client("127.0.0.1", port);
        client.set_read_timeout(5, 0);
        while (!stop) {
            auto res = client.Get("/logs?5");
            if (res && res->status == 200)
                ++pages;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    });
    int outsideReads = 0;
    burst(2000, [&](int sent) {
        if (sent % 5 != 0)
            return;
        for (const QString &path : {Data().AttendPath(), Data().SysdatPath()})
            if (!OutsideQuery(path, QStringLiteral("SELECT COUNT(*) FROM sqlite_schema")).isNull())
                ++outsideReads;
    });
    stop = true;
    browser.join();
    EXPECT_GT(pages.load(), 10);
    EXPECT_GT(outsideReads, 10);
    killAndCheck();
}

} // namespace
