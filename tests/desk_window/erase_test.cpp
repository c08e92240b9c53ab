// "Erase Log Database" (all, or before a date, with the snapshot files) and "Erase Staff
// Records" (the staffs table alone).

#include "desk/deskcore.h"
#include "desk/loggridmodel.h"
#include "windowfixture.h"

#include "desk/readers.h"
#include "readerlink/reader.h"
#include "store/clock.h"
#include "store/settings.h"
#include "testsupport/readersim.h"
#include "testsupport/spin.h"

#include <algorithm>
#include <QAction>
#include <QDateEdit>
#include <QDialog>
#include <QElapsedTimer>
#include <QFile>
#include <QRadioButton>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

void touch(const QString &file)
{
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly)) << file.toStdString();
    f.write("jpeg");
}

struct Stamp
{
    int daysAgo;
    QTime time;
    int card;
};

class EraseTest : public WindowTest
{
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        m_today = QDate(2026, 6, 15);
        PinClock(QDateTime(m_today, QTime(12, 0)));
    }
    void TearDown() override
    {
        PinClock(QDateTime());
        WindowTest::TearDown();
    }
    QDateTime at(const Stamp &s) const { return QDateTime(m_today.addDays(-s.daysAgo), s.time); }

    QDate m_today;
};

// The erase dialog answered: Confirm with the given scope, or Cancel.
TTimeRec::DialogRunner answerErase(bool confirm, bool beforeDate, const QDate &date)
{
    return [=](QDialog &dialog) {
        if (beforeDate) {
            dialog.findChild<QDateEdit *>(QStringLiteral("dpfrom"))->setDate(date);
            dialog.findChild<QRadioButton *>(QStringLiteral("rbdate"))->setChecked(true);
        }
        return confirm ? int(QDialog::Accepted) : int(QDialog::Rejected);
    };
}

TEST_F(EraseTest, EraseLogKeepsWhatTheScopeSays)
{
    // The snapshot as the desk writes it: an exit-button row's (CARDNO -1) under card 0.
    const auto shotOf = [this](const Stamp &s) {
        return MakeSnapshotFileName(std::max(s.card, 0), at(s));
    };
    const Stamp stamps[] = {{3, QTime(8, 0), 11},
                            {1, QTime(23, 59, 59), 12},
                            {0, QTime(0, 0), 13},
                            {0, QTime(9, 30), -1},
                            {0, QTime(11, 0), 14}};
    struct Case
    {
        const char *name;
        bool confirm;
        MsgButton warningAnswer;
        bool beforeDate;
        int dateDaysAgo;
        int keptFrom; // index of the first stamp kept; 5 = none kept
        int boxes;    // message boxes shown
    };
    const Case cases[] = {
        {"before today keeps today", true, MsgButton::Yes, true, 0, 2, 1},
        {"before yesterday", true, MsgButton::Yes, true, 1, 1, 1},
        {"all records", true, MsgButton::Yes, false, 0, 5, 1},
        {"before a date after the last row", true, MsgButton::Yes, true, -1, 5, 1},
        {"dialog cancelled", false, MsgButton::Yes, true, 0, 0, 0},
        {"warning answered no", true, MsgButton::No, false, 0, 0, 1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        m_window.reset();
        dsrc->att.Exec(QStringLiteral("delete from recorder"));
        dsrc->logs.Refresh();
        for (const Stamp &s : stamps) {
            AddLog(at(s), s.card);
            touch(shotOf(s));
        }
        TTimeRec &w = OpenWindow();
        w.SetDialogRunner(answerErase(c.confirm, c.beforeDate, m_today.addDays(-c.dateDaysAgo)));
        Messages().Clear();
        if (c.boxes)
            Messages().QueueAnswer(c.warningAnswer);
        w.xdeleteClick();

        ASSERT_EQ(Messages().Count(), c.boxes);
        if (c.boxes) {
            EXPECT_EQ(
                Messages().Last().text,
                QStringLiteral("This action will erase the attendance records. Are you sure?"));
            EXPECT_EQ(Messages().Last().kind, MsgKind::Warning);
            EXPECT_EQ(Messages().Last().buttons, MsgButtons::YesNo);
        }
        const int expectedRows = int(std::size(stamps)) - c.keptFrom;
        EXPECT_EQ(Count(dsrc->att, QStringLiteral("recorder")), expectedRows);
        EXPECT_EQ(w.LogModel()->rowCount(), expectedRows);
        for (int i = 0; i < int(std::size(stamps)); ++i) {
            SCOPED_TRACE(i);
            EXPECT_EQ(QFile::exists(shotOf(stamps[i])),
                      i >= c.keptFrom);
        }
        for (int r = 0; r < expectedRows; ++r)
            EXPECT_EQ(w.LogModel()->CardAt(r), stamps[c.keptFrom + r].card);
    }
}

TEST_F(EraseTest, EraseLogWalksPastOneCommitBatch)
{
    // More rows than one committed batch, half of them old.
    {
        TTransaction t(dsrc->att);
        TStatement st = dsrc->att.Prepare(
            QStringLiteral("insert into recorder (SYSTIME, CARDNO, MODE, READER, LOCK) "
                           "values (?, ?, 1, 1, 0)"));
        for (int i = 0; i < 4800; ++i) {
            st.Reset();
            st.Bind(1, QDateTime(m_today.addDays(i < 2400 ? -2 : 0), QTime(0, 0)).addSecs(i));
            st.Bind(2, i);
            st.Step();
        }
        t.Commit();
    }
    int steps = 0;
    const bool kept = EraseLogRecords(dsrc->logs, m_today, [&steps] { ++steps; });
    EXPECT_TRUE(kept);
    EXPECT_EQ(steps, 2400);
    EXPECT_EQ(Count(dsrc->att, QStringLiteral("recorder")), 2400);
    EXPECT_EQ(dsrc->logs.FieldByName(QStringLiteral("CARDNO")).AsInteger(), 2400);
}

// A long log, a reader on port 1 with a simulated reader behind it, and an administrator
// logged in. The clock stays pinned, so swipes are stamped today at noon.
class LongEraseTest : public EraseTest
{
protected:
    void SetUp() override
    {
        EraseTest::SetUp();
        ASSERT_TRUE(m_sim.Start()) << m_sim.ErrorText();
        WriteRegString(QStringLiteral("COM1Device"), QString::fromStdString(m_sim.DevicePath()));
        dsrc->src.Exec(QStringLiteral("UPDATE reader SET ENABLE=1, OUTPORT=1, BPPORT=1, MODE=1, "
                                      "DESC='Door 1', LOCKTIME=3 WHERE PORTNO=1"));
        dsrc->src.Exec(QStringLiteral(
            "INSERT INTO staffs (CARDNO, NAME, WORKGRP, COM1) VALUES (4711, 'Alice', 1, 1)"));
        dsrc->staff.Refresh();
    }
    void TearDown() override
    {
        m_window.reset();
        m_sim.Stop();
        EraseTest::TearDown();
    }

    // rows log rows, one a minute, all of them before yesterday, in one transaction.
    void FillLog(int rows)
    {
        dsrc->att.Exec(
            QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n "
                           "WHERE i < %1) INSERT INTO recorder (SYSTIME, CARDNO, MODE, READER, "
                           "LOCK) SELECT datetime('%2', (i * 60) || ' seconds'), 1000 + i %% 50, "
                           "1, 1, 0 FROM n")
                .arg(rows - 1)
                .arg(DateTimeToDbText(QDateTime(m_today.addDays(-2 - rows / 1440), QTime(0, 0))))
                .replace(QStringLiteral("%%"), QStringLiteral("%")));
        dsrc->logs.Refresh();
    }

    bool DoorOpened() const
    {
        for (const ReaderSim::Frame &f : m_sim.Received())
            if (f.kind == ReaderSim::Frame::Text && f.payload.size() >= 2 && f.payload[0] == '~' &&
                f.payload[1] == 'Y')
                return true;
        return false;
    }

    ReaderSim m_sim;
};

QAction *command(TTimeRec &w, const QString &text)
{
    for (QAction *a : w.ProtectedCommands())
        if (a->text() == text)
            return a;
    return nullptr;
}

TEST_F(LongEraseTest, SwipesDuringTheEraseOfALongLogAreAnsweredAndKept)
{
    constexpr int Rows = 300000;
    const QStringList refused = {QStringLiteral("Erase Log Database"),
                                 QStringLiteral("Delete this Attendance Record"),
                                 QStringLiteral("Erase Staff Records")};
    struct Case
    {
        const char *name;
        bool beforeDate;
    };
    for (const Case c : {Case{"all records", false}, Case{"before today", true}}) {
        SCOPED_TRACE(c.name);
        // The swipe of a case before is today's and would be kept anyway.
        dsrc->att.Exec(QStringLiteral("delete from recorder"));
        FillLog(Rows);
        TTimeRec &w = OpenLoggedIn();
        ASSERT_TRUE(Readers[1]->Enable());
        m_sim.ClearReceived();
        w.SetDialogRunner(answerErase(true, c.beforeDate, m_today));
        Messages().Clear();
        Messages().QueueAnswer(MsgButton::Yes);

        // Only runs while the erase lets the event loop turn.
        bool swiped = false;
        bool answeredDuringErase = false;
        qint64 answerMs = -1;
        bool commandsRefused = true;
        bool othersAllowed = true;
        QElapsedTimer sinceSwipe;
        QTimer watcher;
        QObject::connect(&watcher, &QTimer::timeout, [&] {
            if (!w.ErasingLog())
                return;
            if (!swiped) {
                swiped = true;
                for (const QString &text : refused)
                    commandsRefused = commandsRefused && !command(w, text)->isEnabled();
                othersAllowed = command(w, QStringLiteral("Email"))->isEnabled();
                // Refused when called all the same: no box, no row gone, no second erase.
                w.actDelRecClick();
                w.xdeleteClick();
                w.actxerasestaffsExecute();
                m_sim.SendCard(4711);
                sinceSwipe.start();
            } else if (answerMs < 0 && DoorOpened()) {
                answerMs = sinceSwipe.elapsed();
                answeredDuringErase = true;
            }
        });
        watcher.start(5);
        w.xdeleteClick();
        watcher.stop();

        ASSERT_TRUE(swiped) << "the erase never let the event loop turn";
        EXPECT_TRUE(answeredDuringErase);
        // The door answers as it does on a quiet desk, not after the erase.
        EXPECT_GE(answerMs, 0);
        EXPECT_LT(answerMs, 500);
        EXPECT_TRUE(commandsRefused);
        EXPECT_TRUE(othersAllowed);
        EXPECT_EQ(Messages().Count(), 1); // the warning before the erase, nothing else
        // Every old row is gone, the swipe's row is there, and the commands are back.
        EXPECT_EQ(Count(dsrc->att, QStringLiteral("recorder")), 1);
        EXPECT_EQ(w.LogModel()->rowCount(), 1);
        EXPECT_EQ(w.LogModel()->CardAt(0), 4711);
        EXPECT_EQ(w.LogModel()->TimeAt(0), QDateTime(m_today, QTime(12, 0)));
        for (const QString &text : refused)
            EXPECT_TRUE(command(w, text)->isEnabled()) << text.toStdString();
        m_window.reset();
    }
}

TEST_F(LongEraseTest, ClosingDuringAnEraseClosesOnceItIsDone)
{
    FillLog(20000);
    TTimeRec &w = OpenLoggedIn();
    w.SetDialogRunner(answerErase(true, false, m_today));
    Messages().QueueAnswer(MsgButton::Yes);
    bool closeAsked = false;
    bool openWhileErasing = true;
    QTimer watcher;
    QObject::connect(&watcher, &QTimer::timeout, [&] {
        if (!w.ErasingLog())
            return;
        if (!closeAsked) {
            closeAsked = true;
            w.close();
        }
        openWhileErasing = openWhileErasing && dsrc->att.IsOpen() && dsrc->logs.Active();
    });
    watcher.start(5);
    w.xdeleteClick();
    watcher.stop();

    ASSERT_TRUE(closeAsked);
    EXPECT_TRUE(openWhileErasing);
    EXPECT_EQ(Count(dsrc->att, QStringLiteral("recorder")), 0);
    // The close that waited happens now.
    EXPECT_TRUE(SpinUntil([] { return !dsrc->att.IsOpen(); }, 3000));
}

TEST_F(EraseTest, EraseStaffEmptiesStaffsOnly)
{
    const int group = AddGroup(QStringLiteral("Day"));
    for (int i = 0; i < 4; ++i)
        AddStaff(500 + i, QStringLiteral("P%1").arg(i), group);
    dsrc->src.Exec(QStringLiteral("insert into apb (CARDNO, STATE) values (500, 1)"));
    AddLog(QDateTime(m_today, QTime(8, 0)), 500);
    const int groups = Count(dsrc->src, QStringLiteral("gid"));

    struct Case
    {
        MsgButton answer;
        int staffLeft;
    };
    for (const Case c : {Case{MsgButton::No, 4}, Case{MsgButton::Yes, 0}}) {
        TTimeRec &w = OpenWindow();
        Messages().Clear();
        Messages().QueueAnswer(c.answer);
        w.actxerasestaffsExecute();
        ASSERT_EQ(Messages().Count(), 1);
        EXPECT_EQ(Messages().Last().text,
                  QStringLiteral(
                      "This action will erase all card associated information. Are you sure?"));
        EXPECT_EQ(Messages().Last().kind, MsgKind::Warning);
        EXPECT_EQ(Count(dsrc->src, QStringLiteral("staffs")), c.staffLeft);
        EXPECT_EQ(Count(dsrc->src, QStringLiteral("apb")), 1);
        EXPECT_EQ(Count(dsrc->src, QStringLiteral("gid")), groups);
        EXPECT_EQ(Count(dsrc->att, QStringLiteral("recorder")), 1);
        EXPECT_EQ(w.LogModel()->rowCount(), 1);
    }
    // The log row now reads as an unknown card.
    EXPECT_EQ(m_window->LogModel()
                  ->data(m_window->LogModel()->index(0, LogGridModel::ColCardNo))
                  .toString(),
              QStringLiteral("[500]"));
}

} // namespace
