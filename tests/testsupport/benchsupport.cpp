#include "testsupport/benchsupport.h"

#include "store/datasrc.h"
#include "testsupport/isolatedsettings.h"
#include "testsupport/readersim.h"

#include <QApplication>

#include <chrono>

#include <algorithm>
#include <cstdio>

double Percentile(std::vector<double> v, double p)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    const auto i = static_cast<std::size_t>(p * double(v.size() - 1) + 0.5);
    return v[std::min(i, v.size() - 1)];
}

BenchApplication::BenchApplication(int &argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    IsolateSettings(m_settings);
    m_app = std::make_unique<QApplication>(argc, argv);
    SetMessageSink(&m_messages);
}

BenchApplication::~BenchApplication()
{
    SetMessageSink(nullptr);
}

double SwipeToAnswerUs(ReaderSim &sim, int card)
{
    using Clock = std::chrono::steady_clock;
    const std::size_t n = sim.Received().size() + 1;
    const Clock::time_point sent = sim.SendCard(card);
    const auto deadline = Clock::now() + std::chrono::seconds(5);
    while (!sim.WaitForFrames(n, 0) && Clock::now() < deadline)
        QCoreApplication::processEvents(QEventLoop::AllEvents);
    return std::chrono::duration<double, std::micro>(Clock::now() - sent).count();
}

MsgButton PrintedMessages::Show(MsgKind, const QString &text, MsgButtons, const QString &)
{
    std::fprintf(stderr, "message: %s\n", qPrintable(text));
    return MsgButton::Ok;
}

void FillDeskDatabases(int logRows, int staffRows)
{
    TTransaction logTx(dsrc->att);
    dsrc->att.Exec(
        QStringLiteral(
            "WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c WHERE x < %1) "
            "INSERT INTO recorder (SYSTIME, CARDNO, MODE, READER, LOCK) "
            "SELECT strftime('%Y-%m-%d %H:%M:%S', '2020-01-01', '+' || (x * 60) || ' seconds'), "
            "x % %2 + 1, 1 + x % 2, 1 + x % 8, 1 + x % 8 FROM c")
            .arg(logRows)
            .arg(staffRows));
    logTx.Commit();
    TTransaction staffTx(dsrc->src);
    dsrc->src.Exec(
        QStringLiteral(
            "WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c WHERE x < %1) "
            "INSERT INTO staffs (CARDNO, NAME, WORKGRP, COM1, COM2, COM3, COM4, COM5, COM6, COM7, "
            "COM8) SELECT x, 'Staff ' || x, 1, 1, 1, 1, 1, 1, 1, 1, 1 FROM c")
            .arg(staffRows));
    staffTx.Commit();
    dsrc->src.Exec(QStringLiteral("UPDATE reader SET ENABLE=1, OUTPORT=PORTNO, MODE=1, "
                                  "LOCKTIME=3, APB=0, CAPTURE=0, MOTION=-1"));
    // A desk that has run for a while has its write-ahead logs folded back into the files,
    // not a hundred megabytes of freshly filled pages in them.
    dsrc->att.Exec(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"));
    dsrc->src.Exec(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"));
    dsrc->logs.Refresh();
    dsrc->logs.Last();
    dsrc->staff.Refresh();
}
