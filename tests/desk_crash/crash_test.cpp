// Killing the desk in the middle of a burst of swipes: every row it had committed is still
// there, both databases pass an integrity check, and the next start serves swipes as before.
// The desk runs in a child process: this same test program, started on the test below that
// only runs when the parent hands it a data folder.

#include "desk/deskcore.h"
#include "store/datasrc.h"
#include "store/dbfile.h"
#include "store/paths.h"
#include "store/settings.h"
#include "testsupport/readersim.h"
#include "testsupport/tempdata.h"
#include "testsupport/spin.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QStringList>
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace {

const char *const kDataEnv = "TALLYCLOCK_CRASH_DATA";
const char *const kDevicesEnv = "TALLYCLOCK_CRASH_DEVICES";
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

    void startDesk()
    {
        QStringList devices;
        for (auto &sim : sims)
            devices << QString::fromStdString(sim->DevicePath());
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QString::fromLatin1(kDataEnv), Data().Dir());
        env.insert(QString::fromLatin1(kDevicesEnv), devices.join(QLatin1Char(',')));
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

    std::vector<std::unique_ptr<ReaderSim>> sims;
    QProcess child;
};

TEST_F(DeskCrash, KilledMidBurstLosesNoCommittedRow)
{
    startDesk();
    ASSERT_TRUE(waitUntilServing()) << "the desk never answered a swipe";

    // A burst on both readers; the desk is killed while swipes are still arriving.
    QElapsedTimer burst;
    burst.start();
    int sent = 0;
    while (burst.elapsed() < 1500) {
        for (auto &sim : sims)
            sim->SendCard(1 + sent % kCards);
        ++sent;
        SpinFor(8);
    }
    child.kill(); // SIGKILL: no clean-up of any kind
    ASSERT_TRUE(child.waitForFinished(5000));
    SpinFor(100);
    const int answered = allDoorCommands();
    ASSERT_GT(answered, 20) << "too few swipes were served to say anything";

    // The door opens only after the swipe's row (with its LOCK) is committed.
    for (DbKind kind : {DbKind::Attend, DbKind::Sysdat}) {
        const QString path = kind == DbKind::Attend ? Data().AttendPath() : Data().SysdatPath();
        auto db = OpenDatabaseFile(path, kind, TDatabase::OpenMode::ReadWrite);
        EXPECT_EQ(pragma(*db, "PRAGMA integrity_check"), QStringLiteral("ok"))
            << path.toStdString();
        if (kind == DbKind::Attend) {
            const int opened = pragma(*db, "SELECT COUNT(*) FROM recorder WHERE LOCK > 0").toInt();
            EXPECT_GE(opened, answered);
            std::printf("served %d swipes, %d rows with an open door after the kill\n", answered,
                        opened);
        }
    }

    // The next start serves swipes as before.
    for (auto &sim : sims)
        sim->ClearReceived();
    startDesk();
    EXPECT_TRUE(waitUntilServing()) << "the desk did not serve after the crash";
}

} // namespace
