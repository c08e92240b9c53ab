#include "store/pairing.h"

#include "store/clock.h"
#include "store/dataset.h"
#include "store/db/dbtime.h"
#include "store/dbschema.h"
#include "store/logrow.h"
#include "store/reportscope.h"
#include "store/utils.h"

#include <QStringList>

QDateTime WallClock(const QDateTime &value)
{
    if (!value.isValid())
        return QDateTime();
    return QDateTime(value.date(), value.time(), Qt::UTC);
}

QDateTime WallClockFromDbText(QStringView text)
{
    return ReadDbTime(text, DbTimeRead::Leading).WallClock();
}

// ---- Scope dates --------------------------------------------------------------------------

namespace {

QDateTime midnight(const QDate &date)
{
    return QDateTime(date, QTime(0, 0), Qt::UTC);
}

QDate weekStart(const QDate &date)
{
    return date.addDays(1 - date.dayOfWeek()); // Monday is day 1
}

QDate monthStart(const QDate &date)
{
    return QDate(date.year(), date.month(), 1);
}

} // namespace

void GetScopeDateRange(const TReportScope &scope, TDataSet &query, TReptParam &param)
{
    param.AllDates = scope.Dates == TDateChoice::All;
    const QDate today = Now().date();
    if (param.AllDates) {
        // The two ends through the time index, never by reading the whole log: each end in a
        // query of its own, as min and max side by side would scan the whole index.
        query.Close();
        query.ClearBindings();
        query.SetSQL(QStringLiteral("select (select min(SYSTIME) from recorder) as FIRSTTIME, "
                                    "(select max(SYSTIME) from recorder) as LASTTIME"));
        query.Open();
        param.FromDate =
            WallClockFromDbText(query.FieldByName(QStringLiteral("FIRSTTIME")).AsString());
        param.ToDate =
            WallClockFromDbText(query.FieldByName(QStringLiteral("LASTTIME")).AsString());
        query.Close();
    } else if (scope.Dates == TDateChoice::ThisWeek) {
        param.ToDate = midnight(today);
        param.FromDate = midnight(weekStart(today));
    } else if (scope.Dates == TDateChoice::LastWeek) {
        const QDate lastSunday = weekStart(today).addDays(-1);
        param.ToDate = midnight(lastSunday);
        param.FromDate = midnight(weekStart(lastSunday));
    } else if (scope.Dates == TDateChoice::ThisMonth) {
        param.ToDate = midnight(today);
        param.FromDate = midnight(monthStart(today));
    } else if (scope.Dates == TDateChoice::LastMonth) {
        const QDate lastDay = monthStart(today).addDays(-1);
        param.ToDate = midnight(lastDay);
        param.FromDate = midnight(monthStart(lastDay));
    } else if (scope.Dates == TDateChoice::Range) {
        param.FromDate = WallClock(scope.From);
        param.ToDate = WallClock(scope.To);
    }
}

bool OpenStaffLogQuery(TDataSet &staff, TDataSet &query, TReptParam &param)
{
    param.CardNo = staff.FieldByName(Schema::Staffs::CardNo).AsInteger();
    param.Name = staff.FieldByName(Schema::Staffs::Name).AsString();
    param.WorkGroup = staff.FieldByName(Schema::Staffs::WorkGrp).AsInteger();
    GetGroupName(param.WorkGroup, param.GroupName);

    QStringList lines{QStringLiteral("select * from recorder"),
                      QStringLiteral("where CARDNO=") + QString::number(param.CardNo)};
    if (param.ModeFilter == 1)
        lines << QStringLiteral("and MODE=0");
    else if (param.ModeFilter == 2)
        lines << QStringLiteral("and MODE>0");
    if (!param.AllDates)
        lines << QStringLiteral("and SYSTIME") + MakeDateRangeSql(param.FromDate, param.ToDate);
    lines << QStringLiteral("order by SYSTIME");
    query.Close();
    query.ClearBindings();
    query.SetSQLLines(lines);
    query.Open();
    return true;
}

// ---- Walkers ------------------------------------------------------------------------------

namespace {

inline constexpr int ModeIn = 1;
inline constexpr int ModeOut = 2;

// The log dataset's SYSTIME and MODE, looked up once per walk.
class TLogReader
{
public:
    explicit TLogReader(TDataSet &log)
        : m_log(log), m_time(log.FieldByName(Schema::Recorder::SysTime)),
          m_mode(log.FieldByName(Schema::Recorder::Mode))
    {
    }

    // Rows whose time cannot be read belong to no day: passed over, so no walk stops on one.
    bool AtEnd()
    {
        if (m_current)
            return false;
        while (!m_log.Eof()) {
            T = WallClockFromDbText(m_time.AsString());
            if (T.isValid()) {
                m_current = true;
                return false;
            }
            m_log.Next();
        }
        return true;
    }
    // The current row (AtEnd() false): T and M. Its day against `day`.
    bool Read(const QDateTime &day)
    {
        M = m_mode.AsInteger();
        m_readAny = true;
        m_lastRead = T;
        return day.isValid() && T.date() == day.date();
    }
    void Consume()
    {
        m_log.Next();
        m_current = false;
    }
    bool ReadAny() const { return m_readAny; }
    QDateTime LastRead() const { return m_lastRead; }

    QDateTime T;
    int M = 0;

private:
    TDataSet &m_log;
    TField m_time;
    TField m_mode;
    bool m_current = false; // T is the current row's
    bool m_readAny = false;
    QDateTime m_lastRead;
};

} // namespace

bool NextInOutPair(TDataSet &log, QDateTime &day, TInOutPair &pair, bool inOutMode)
{
    pair = TInOutPair();
    TLogReader r(log);
    if (!inOutMode) {
        if (!r.AtEnd() && r.Read(day)) {
            pair.InTime = r.T;
            pair.InMode = r.M;
            r.Consume();
            if (!r.AtEnd() && r.Read(day)) {
                pair.OutTime = r.T;
                pair.OutMode = r.M;
                r.Consume();
            }
        }
    } else {
        while (!r.AtEnd()) {
            if (!r.Read(day))
                break;
            if (r.M == ModeIn) {
                if (!pair.InTime.isValid()) {
                    pair.InTime = r.T;
                    pair.InMode = r.M;
                } else if (pair.OutTime.isValid()) {
                    break; // it opens the next pair
                }
            } else if (r.M == ModeOut && pair.InTime.isValid()) {
                pair.OutTime = r.T; // the last OUT before the next IN wins
                pair.OutMode = r.M;
            }
            r.Consume();
        }
    }
    day = r.ReadAny() ? r.LastRead() : QDateTime();
    if (!r.AtEnd())
        day = r.T;
    return pair.InTime.isValid() && pair.OutTime.isValid();
}

bool FirstInLastOut(TDataSet &log, QDateTime &day, TInOutPair &pair, bool inOutMode)
{
    pair = TInOutPair();
    TLogReader r(log);
    if (inOutMode) {
        while (!r.AtEnd()) {
            if (!r.Read(day)) {
                day = r.T;
                break;
            }
            if (r.M == ModeIn && !pair.InTime.isValid()) {
                pair.InTime = r.T;
                pair.InMode = r.M;
            } else if (r.M == ModeOut && pair.InTime.isValid()) {
                pair.OutTime = r.T; // each later OUT replaces it
                pair.OutMode = r.M;
            }
            r.Consume();
        }
    } else if (!r.AtEnd()) {
        if (!r.Read(day)) {
            day = r.T;
        } else {
            pair.InTime = r.T;
            pair.InMode = r.M;
            r.Consume();
            while (!r.AtEnd()) {
                if (!r.Read(day)) {
                    day = r.T; // a single record: no OUT
                    break;
                }
                const QDateTime t = r.T;
                const int m = r.M;
                r.Consume();
                if (r.AtEnd() || r.T.date() != t.date()) {
                    pair.OutTime = t;
                    pair.OutMode = m;
                    if (!r.AtEnd())
                        day = r.T;
                    break;
                }
            }
        }
    }
    return pair.InTime.isValid() && pair.OutTime.isValid();
}
