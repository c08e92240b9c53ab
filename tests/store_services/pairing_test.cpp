#include "store/clock.h"
#include "store/datasrc.h"
#include "store/pairing.h"
#include "store/scopeform.h"
#include "testsupport/tempdata.h"

#include <QDateTimeEdit>
#include <QRadioButton>
#include <QWidget>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

constexpr int Card = 501;
constexpr int Clock = 0, In = 1, Out = 2;

struct LogRec
{
    const char *time; // "YYYY-MM-DD HH:MM:SS"
    int mode;
};

// A data folder whose log holds the given records of one member (and a few of another card,
// which the member's query never shows).
class PairingTest : public TempDataTest
{
protected:
    void SetUp() override
    {
        TempDataTest::SetUp();
        ASSERT_TRUE(Data().IsValid());
        m_data = &Data().Dsrc();
        m_data->src.Exec(QStringLiteral("insert into gid (ID, DESCX) values (7, 'Porters');"
                                        "insert into staffs (CARDNO, NAME, WORKGRP) values "
                                        "(501, 'Ann Lee', 7)"));
        m_data->staff.Close();
        m_data->staff.Open();
        m_data->gidtbl.Close();
        m_data->gidtbl.Open();
    }

    void AddLog(const std::vector<LogRec> &records, int card = Card)
    {
        TStatement s = m_data->att.Prepare(
            QStringLiteral("insert into recorder (SYSTIME, CARDNO, MODE) values (?, ?, ?)"));
        for (const LogRec &r : records) {
            s.Bind(1, QString::fromLatin1(r.time));
            s.Bind(2, card);
            s.Bind(3, r.mode);
            s.Step();
            s.Reset();
        }
    }

    void OpenMemberLog(TDataSet &query, TReptParam &param)
    {
        ASSERT_TRUE(m_data->staff.Locate(QStringLiteral("CARDNO"), Card));
        ASSERT_TRUE(OpenStaffLogQuery(m_data->staff, query, param));
    }

    Tdsrc *m_data = nullptr;
};

QString timeText(const QDateTime &t)
{
    return t.isValid() ? t.toString(QStringLiteral("MM-dd hh:mm")) : QStringLiteral("-");
}

// Lists compared as one readable text.
std::string texts(const std::vector<const char *> &list)
{
    std::string out;
    for (const char *t : list)
        out += std::string(t) + "; ";
    return out;
}

std::string texts(const QStringList &list)
{
    std::string out;
    for (const QString &t : list)
        out += t.toStdString() + "; ";
    return out;
}

using Walker = bool (*)(TDataSet &, QDateTime &, TInOutPair &, bool);

// Each call of the walker from the first record on, as a caller walks the days: "in out ok"
// and where `day` then stands.
QStringList walkAll(TDataSet &log, Walker walker, bool inOutMode)
{
    QStringList calls;
    QDateTime day = WallClockFromDbText(log.FieldByName(QStringLiteral("SYSTIME")).AsString());
    while (!log.Eof() && calls.size() < 20) {
        TInOutPair pair;
        const bool ok = walker(log, day, pair, inOutMode);
        calls << timeText(pair.InTime) + QLatin1Char('/') + timeText(pair.OutTime) +
                     (ok ? QStringLiteral(" ok") : QStringLiteral(" no")) +
                     QStringLiteral(" day ") + timeText(day);
    }
    return calls;
}

TEST_F(PairingTest, WalkersOverDays)
{
    struct Case
    {
        const char *name;
        std::vector<LogRec> records;
        bool inOutMode;
        std::vector<const char *> nextPairs;    // NextInOutPair, call by call
        std::vector<const char *> firstAndLast; // FirstInLastOut, call by call
    } cases[] = {
        {"earliest IN and last OUT before the next IN",
         {{"2026-03-02 08:00:00", In},
          {"2026-03-02 08:05:00", In},
          {"2026-03-02 12:00:00", Out},
          {"2026-03-02 12:03:00", Out},
          {"2026-03-02 13:00:00", In},
          {"2026-03-02 17:00:00", Out}},
         true,
         {"03-02 08:00/03-02 12:03 ok day 03-02 13:00",
          "03-02 13:00/03-02 17:00 ok day 03-02 17:00"},
         {"03-02 08:00/03-02 17:00 ok day 03-02 08:00"}},
        {"duplicate swipes of the same second",
         {{"2026-03-02 08:00:00", In},
          {"2026-03-02 08:00:00", In},
          {"2026-03-02 12:00:00", Out},
          {"2026-03-02 12:00:00", Out}},
         true,
         {"03-02 08:00/03-02 12:00 ok day 03-02 12:00"},
         {"03-02 08:00/03-02 12:00 ok day 03-02 08:00"}},
        {"CLOCK rows are passed over in IN/OUT mode",
         {{"2026-03-02 07:00:00", Clock},
          {"2026-03-02 08:00:00", In},
          {"2026-03-02 10:00:00", Clock},
          {"2026-03-02 12:00:00", Out},
          {"2026-03-02 18:00:00", Clock}},
         true,
         {"03-02 08:00/03-02 12:00 ok day 03-02 18:00"},
         {"03-02 08:00/03-02 12:00 ok day 03-02 07:00"}},
        {"clock mode takes records two by two whatever their modes",
         {{"2026-03-02 08:00:00", Clock},
          {"2026-03-02 12:00:00", Out},
          {"2026-03-02 13:00:00", Clock}},
         false,
         {"03-02 08:00/03-02 12:00 ok day 03-02 13:00", "03-02 13:00/- no day 03-02 13:00"},
         {"03-02 08:00/03-02 13:00 ok day 03-02 08:00"}},
        {"a day of OUT records only gives nothing and is consumed",
         {{"2026-03-02 07:00:00", Out},
          {"2026-03-02 12:00:00", Out},
          {"2026-03-03 08:00:00", In},
          {"2026-03-03 17:00:00", Out}},
         true,
         {"-/- no day 03-03 08:00", "03-03 08:00/03-03 17:00 ok day 03-03 17:00"},
         {"-/- no day 03-03 08:00", "03-03 08:00/03-03 17:00 ok day 03-03 08:00"}},
        {"an OUT before the first IN is dropped",
         {{"2026-03-02 07:00:00", Out}, {"2026-03-02 08:00:00", In}},
         true,
         {"03-02 08:00/- no day 03-02 08:00"},
         {"03-02 08:00/- no day 03-02 07:00"}},
        {"a trailing IN stands alone",
         {{"2026-03-02 08:00:00", In}, {"2026-03-02 12:00:00", Out}, {"2026-03-02 13:00:00", In}},
         true,
         {"03-02 08:00/03-02 12:00 ok day 03-02 13:00", "03-02 13:00/- no day 03-02 13:00"},
         {"03-02 08:00/03-02 12:00 ok day 03-02 08:00"}},
        {"an IN and an OUT across midnight are never paired",
         {{"2026-03-02 22:00:00", In}, {"2026-03-03 06:00:00", Out}},
         true,
         {"03-02 22:00/- no day 03-03 06:00", "-/- no day 03-03 06:00"},
         {"03-02 22:00/- no day 03-03 06:00", "-/- no day 03-03 06:00"}},
        {"clock records across midnight stay on their days",
         {{"2026-03-02 22:00:00", Clock},
          {"2026-03-03 06:00:00", Clock},
          {"2026-03-03 14:00:00", Clock}},
         false,
         {"03-02 22:00/- no day 03-03 06:00", "03-03 06:00/03-03 14:00 ok day 03-03 14:00"},
         {"03-02 22:00/- no day 03-03 06:00", "03-03 06:00/03-03 14:00 ok day 03-03 06:00"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        m_data->att.Exec(QStringLiteral("delete from recorder"));
        AddLog(c.records);
        AddLog({{"2026-03-02 09:00:00", Out}, {"2026-03-02 09:30:00", In}}, Card + 1);
        TDataSet log(m_data->att);
        TReptParam param;
        param.AllDates = true;
        OpenMemberLog(log, param);
        EXPECT_EQ(texts(walkAll(log, &NextInOutPair, c.inOutMode)), texts(c.nextPairs));
        OpenMemberLog(log, param);
        EXPECT_EQ(texts(walkAll(log, &FirstInLastOut, c.inOutMode)), texts(c.firstAndLast));
    }
}

TEST_F(PairingTest, AtTheEndOfTheData)
{
    AddLog({{"2026-03-02 08:00:00", In}, {"2026-03-02 17:00:00", Out}});
    TDataSet log(m_data->att);
    TReptParam param;
    param.AllDates = true;
    OpenMemberLog(log, param);
    for (int i = 0; i < 2; ++i)
        log.Next();
    ASSERT_TRUE(log.Eof());
    for (const bool inOutMode : {true, false}) {
        SCOPED_TRACE(inOutMode);
        const QDateTime was = WallClockFromDbText(u"2026-03-02 17:00:00");
        QDateTime day = was;
        TInOutPair pair;
        EXPECT_FALSE(NextInOutPair(log, day, pair, inOutMode));
        EXPECT_FALSE(pair.InTime.isValid());
        EXPECT_FALSE(pair.OutTime.isValid());
        EXPECT_FALSE(day.isValid());
        day = was;
        EXPECT_FALSE(FirstInLastOut(log, day, pair, inOutMode));
        EXPECT_EQ(day, was);
    }
}

// A record of a later day is never consumed by a call for an earlier day.
TEST_F(PairingTest, LaterDayIsNotConsumed)
{
    AddLog({{"2026-03-03 08:00:00", In}, {"2026-03-03 17:00:00", Out}});
    TDataSet log(m_data->att);
    TReptParam param;
    param.AllDates = true;
    OpenMemberLog(log, param);
    for (Walker walker : {&NextInOutPair, &FirstInLastOut}) {
        QDateTime day = WallClockFromDbText(u"2026-03-02 00:00:00");
        TInOutPair pair;
        EXPECT_FALSE(walker(log, day, pair, true));
        EXPECT_EQ(log.RecNo(), 0);
        EXPECT_EQ(timeText(day), QStringLiteral("03-03 08:00"));
    }
}

// Spans are clock arithmetic: the night the clocks go forward (in Europe/London, 01:00 to
// 02:00 does not exist) a swipe stored in that hour is read as stored and adds up.
TEST_F(PairingTest, WallClockTimesOnADaylightSavingDay)
{
    AddLog({{"2026-03-29 00:30:00", In},
            {"2026-03-29 01:30:00", Out},
            {"2026-03-29 02:30:00", In},
            {"2026-03-29 03:00:00", Out}});
    TDataSet log(m_data->att);
    TReptParam param;
    param.AllDates = true;
    OpenMemberLog(log, param);
    QDateTime day = WallClockFromDbText(u"2026-03-29 00:30:00");
    TInOutPair first, second;
    ASSERT_TRUE(NextInOutPair(log, day, first, true));
    ASSERT_TRUE(NextInOutPair(log, day, second, true));
    EXPECT_EQ(first.OutTime.time(), QTime(1, 30));
    EXPECT_EQ(first.InTime.secsTo(first.OutTime), 3600);
    EXPECT_EQ(first.OutTime.secsTo(second.InTime), 3600);
    EXPECT_EQ(second.InTime.secsTo(second.OutTime), 1800);
}

TEST_F(PairingTest, MemberLogQuery)
{
    AddLog({{"2026-02-28 23:59:59", In},
            {"2026-03-01 00:00:00", Clock},
            {"2026-03-01 08:00:00", In},
            {"2026-03-02 17:00:00", Out},
            {"2026-03-02 23:59:59", Clock},
            {"2026-03-03 00:00:00", In}});
    AddLog({{"2026-03-01 09:00:00", In}}, Card + 1);
    struct Case
    {
        const char *name;
        int modeFilter;
        bool allDates;
        std::vector<const char *> times;
    } cases[] = {
        {"all records of the days, next midnight outside",
         0,
         false,
         {"03-01 00:00", "03-01 08:00", "03-02 17:00", "03-02 23:59"}},
        {"clock records only", 1, false, {"03-01 00:00", "03-02 23:59"}},
        {"IN/OUT records only", 2, false, {"03-01 08:00", "03-02 17:00"}},
        {"all dates", 2, true, {"02-28 23:59", "03-01 08:00", "03-02 17:00", "03-03 00:00"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        TReptParam param;
        param.ModeFilter = c.modeFilter;
        param.AllDates = c.allDates;
        param.FromDate = QDateTime(QDate(2026, 3, 1), QTime(12, 0), Qt::UTC);
        param.ToDate = QDateTime(QDate(2026, 3, 2), QTime(0, 0), Qt::UTC);
        TDataSet log(m_data->att);
        OpenMemberLog(log, param);
        EXPECT_EQ(param.CardNo, Card);
        EXPECT_EQ(param.Name, QStringLiteral("Ann Lee"));
        EXPECT_EQ(param.WorkGroup, 7);
        EXPECT_EQ(param.GroupName, QStringLiteral("Porters"));
        QStringList times;
        for (; !log.Eof(); log.Next())
            times << timeText(
                WallClockFromDbText(log.FieldByName(QStringLiteral("SYSTIME")).AsString()));
        EXPECT_EQ(texts(times), texts(c.times));
    }
}

// A stand-in scope form: the date radios and pickers by name, one of them checked.
class ScopeForm
{
public:
    ScopeForm()
    {
        for (const char *name :
             {"rbthisweek", "rblastweek", "rbthismonth", "rblastmonth", "rball", "rbrange"}) {
            auto *radio = new QRadioButton(&m_form);
            radio->setObjectName(QString::fromLatin1(name));
        }
        for (const char *name : {"dpfrom", "dpto"}) {
            auto *picker = new QDateTimeEdit(&m_form);
            picker->setObjectName(QString::fromLatin1(name));
        }
    }
    QWidget *Check(const char *name)
    {
        if (name)
            m_form.findChild<QRadioButton *>(QString::fromLatin1(name))->setChecked(true);
        return &m_form;
    }
    void SetPickers(const QDateTime &from, const QDateTime &to)
    {
        m_form.findChild<QDateTimeEdit *>(QStringLiteral("dpfrom"))->setDateTime(from);
        m_form.findChild<QDateTimeEdit *>(QStringLiteral("dpto"))->setDateTime(to);
    }

private:
    QWidget m_form;
};

struct PinnedClock
{
    explicit PinnedClock(const QDateTime &moment) { PinClock(moment); }
    ~PinnedClock() { PinClock(QDateTime()); }
};

TEST_F(PairingTest, ScopeDatesOfTheWeekAndMonthChoices)
{
    struct Case
    {
        const char *name;
        const char *radio;
        QDate today;
        QDate from, to;
    } cases[] = {
        {"this week across the year end", "rbthisweek", QDate(2027, 1, 1), QDate(2026, 12, 28),
         QDate(2027, 1, 1)},
        {"this week on its Monday", "rbthisweek", QDate(2028, 2, 28), QDate(2028, 2, 28),
         QDate(2028, 2, 28)},
        {"last week before the year end", "rblastweek", QDate(2027, 1, 1), QDate(2026, 12, 21),
         QDate(2026, 12, 27)},
        {"last week asked on a Monday, across the year end", "rblastweek", QDate(2027, 1, 4),
         QDate(2026, 12, 28), QDate(2027, 1, 3)},
        {"this month on its first day", "rbthismonth", QDate(2027, 1, 1), QDate(2027, 1, 1),
         QDate(2027, 1, 1)},
        {"this month on a leap day", "rbthismonth", QDate(2028, 2, 29), QDate(2028, 2, 1),
         QDate(2028, 2, 29)},
        {"last month across the year end", "rblastmonth", QDate(2027, 1, 15), QDate(2026, 12, 1),
         QDate(2026, 12, 31)},
        {"last month a leap February", "rblastmonth", QDate(2028, 3, 10), QDate(2028, 2, 1),
         QDate(2028, 2, 29)},
        {"last month a plain February", "rblastmonth", QDate(2027, 3, 1), QDate(2027, 2, 1),
         QDate(2027, 2, 28)},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        PinnedClock pinned(QDateTime(c.today, QTime(10, 15, 30)));
        ScopeForm form;
        TDataSet query(m_data->att);
        TReptParam param;
        param.AllDates = true;
        GetScopeDateRange(form.Check(c.radio), query, param);
        EXPECT_FALSE(param.AllDates);
        EXPECT_EQ(param.FromDate, QDateTime(c.from, QTime(0, 0), Qt::UTC));
        EXPECT_EQ(param.ToDate, QDateTime(c.to, QTime(0, 0), Qt::UTC));
    }
}

TEST_F(PairingTest, ScopeDatesOfAllRangeAndNone)
{
    ScopeForm form;
    TDataSet query(m_data->att);
    TReptParam param;

    // An empty log has no ends.
    GetScopeDateRange(form.Check("rball"), query, param);
    EXPECT_TRUE(param.AllDates);
    EXPECT_FALSE(param.FromDate.isValid());
    EXPECT_FALSE(param.ToDate.isValid());
    EXPECT_FALSE(query.Active());

    AddLog({{"2026-05-04 07:00:00", In}, {"2025-11-30 23:59:59.250", Out}});
    AddLog({{"2026-06-01 00:00:00", Clock}}, Card + 9);
    GetScopeDateRange(form.Check("rball"), query, param);
    EXPECT_TRUE(param.AllDates);
    EXPECT_EQ(param.FromDate, QDateTime(QDate(2025, 11, 30), QTime(23, 59, 59), Qt::UTC));
    EXPECT_EQ(param.ToDate, QDateTime(QDate(2026, 6, 1), QTime(0, 0), Qt::UTC));

    const QDateTime from(QDate(2026, 1, 5), QTime(13, 20));
    const QDateTime to(QDate(2026, 1, 9), QTime(8, 45));
    form.SetPickers(from, to);
    GetScopeDateRange(form.Check("rbrange"), query, param);
    EXPECT_FALSE(param.AllDates);
    EXPECT_EQ(param.FromDate, WallClock(from));
    EXPECT_EQ(param.ToDate, WallClock(to));

    ScopeForm none;
    GetScopeDateRange(none.Check(nullptr), query, param);
    EXPECT_FALSE(param.AllDates);
    EXPECT_EQ(param.FromDate, WallClock(from));
    EXPECT_EQ(param.ToDate, WallClock(to));
}

} // namespace
