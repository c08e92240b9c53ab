#include "desk/memberworkbook.h"

#include "store/datasrc.h"
#include "store/dbschema.h"
#include "store/messages.h"
#include "store/pragmascope.h"
#include "store/utils.h"
#include "store/workbook.h"

#include <QCoreApplication>

namespace {

const QString SharedSheetName = QStringLiteral("all_records");
constexpr qint64 DayMs = 86400000;

QDateTime recordTime(TDataSet &details)
{
    return WallClockFromDbText(details.FieldByName(Schema::Recorder::SysTime).AsString());
}

// The record under the cursor belongs to that calendar day.
bool onDay(TDataSet &details, const QDate &day)
{
    return !details.Eof() && recordTime(details).date() == day;
}

// One read transaction over the walk of a member's rows, so that each row fetched does not
// take and drop the file's locks again. Nothing between its start and its end lets the event
// loop turn, so no swipe is ever written inside it.
class TReadSnapshot
{
public:
    explicit TReadSnapshot(TDatabase &db) : m_db(db), m_own(!db.InTransaction())
    {
        if (m_own)
            m_db.Exec(QStringLiteral("BEGIN"));
    }
    ~TReadSnapshot()
    {
        if (!m_own)
            return;
        try {
            m_db.Exec(QStringLiteral("COMMIT"));
        } catch (const EDatabaseError &) {
            try {
                m_db.Exec(QStringLiteral("ROLLBACK"));
            } catch (const EDatabaseError &) {
            }
        }
    }
    TReadSnapshot(const TReadSnapshot &) = delete;
    TReadSnapshot &operator=(const TReadSnapshot &) = delete;

private:
    TDatabase &m_db;
    bool m_own;
};

// A member's records lie one or a few to a page among everybody's, on pages the next members
// share: with the connection's usual small page cache every member read the log's pages from
// the file again. For the run the cache holds the pages of a large log.
constexpr qint64 RunCacheKiB = 32768;

qint64 msOfDay(const QTime &t)
{
    return t.isValid() ? t.msecsSinceStartOfDay() : 0;
}

QString spanText(const QString &format, qint64 ms)
{
    return FormatDateTime(format, QDateTime(QDate(1899, 12, 30), QTime(0, 0).addMSecs(int(ms))));
}

} // namespace

// ---- The window match ---------------------------------------------------------------------

TWindowMatch MatchTimeWindow(const std::vector<TMemberSheet::TWindow> &timeTable, const QTime &in,
                             const QTime &out)
{
    // Times of day within a millisecond of each other are the same time.
    const qint64 i = msOfDay(in), o = msOfDay(out);
    for (std::size_t w = 0; w < timeTable.size(); ++w) {
        const qint64 from = msOfDay(timeTable[w].first), to = msOfDay(timeTable[w].second);
        if (to - i < 1)
            continue;
        TWindowMatch m;
        m.window = int(w) + 1;
        m.lateMs = i - from >= 1 ? i - from : 0;
        m.earlyMs = to - o >= 1 ? to - o : 0;
        return m;
    }
    return {};
}

// ---- One sheet ------------------------------------------------------------------------------

TMemberSheet::TMemberSheet(TWorksheet &sheet, TWorkbookKind kind, const TReptParam &param,
                           bool shared)
    : m_sheet(sheet), m_kind(kind), m_param(param), m_shared(shared)
{
    if (shared)
        m_columns << QStringLiteral("NAME") << QStringLiteral("GROUP");
    m_columns << QStringLiteral("DATE");
    const int pairs = param.PairsPerLine;
    switch (kind) {
    case TWorkbookKind::TimeLogs:
        for (int slot = 1; slot <= 2 * pairs; ++slot)
            m_columns << QStringLiteral("TIME") + QString::number(slot);
        break;
    case TWorkbookKind::FirstInLastOut:
        m_columns << param.FirstLabel << param.SecondLabel << QStringLiteral("STATUS");
        break;
    case TWorkbookKind::InOutPairs:
        for (int i = 1; i <= pairs; ++i)
            m_columns << param.FirstLabel + QString::number(i)
                      << param.SecondLabel + QString::number(i);
        m_columns << QStringLiteral("STATUS");
        break;
    case TWorkbookKind::LateEarly:
        for (int i = 1; i <= pairs; ++i)
            m_columns << param.FirstLabel + QString::number(i)
                      << param.LateLabel + QString::number(i)
                      << param.SecondLabel + QString::number(i)
                      << param.EarlyLabel + QString::number(i);
        break;
    }
    for (int col = 0; col < m_columns.size(); ++col)
        sheet.WriteHeader(0, col, m_columns[col]);
    sheet.SetColumnWidth(0, int(m_columns.size()) - 1, 12);
    if (shared)
        sheet.SetColumnWidth(0, 1, 18);
}

int TMemberSheet::column(const QString &name) const
{
    return int(m_columns.indexOf(name));
}

void TMemberSheet::set(TRow &row, const QString &name, const QString &text) const
{
    const int col = column(name);
    if (col >= 0)
        row.texts.emplace_back(col, text);
}

QString TMemberSheet::timeText(const QDateTime &t) const
{
    return FormatDateTime(m_param.TimeFormat, t);
}

bool TMemberSheet::post(TRow &row)
{
    if (m_refused)
        return false;
    const int r = m_nextRow;
    bool ok = true;
    if (m_shared && m_firstRow) {
        ok =
            m_sheet.WriteString(r, 0, m_param.Name) && m_sheet.WriteString(r, 1, m_param.GroupName);
    }
    if (ok && row.date.isValid())
        ok = m_sheet.WriteDate(r, column(QStringLiteral("DATE")), row.date);
    for (const auto &[col, text] : row.texts) {
        if (!ok)
            break;
        ok = m_sheet.WriteString(r, col, text);
    }
    if (!ok) {
        m_refused = true;
        return false;
    }
    ++m_nextRow;
    m_firstRow = false;
    return true;
}

bool TMemberSheet::WriteMember(TDataSet &details, const std::vector<TWindow> &timeTable)
{
    m_firstRow = true;
    details.First();
    switch (m_kind) {
    case TWorkbookKind::TimeLogs:
        return writeRawLogRows(details);
    case TWorkbookKind::FirstInLastOut:
        return writeFirstInLastOutRows(details);
    case TWorkbookKind::InOutPairs:
        return writeInOutPairRows(details);
    case TWorkbookKind::LateEarly:
        return writeLateEarlyRows(details, timeTable);
    }
    return true;
}

bool TMemberSheet::finishSheet(QDate day, bool withStatus)
{
    if (!m_param.BlankLines)
        return true;
    for (const QDate last = m_param.ToDate.date(); day.isValid() && day <= last;
         day = day.addDays(1)) {
        TRow row{day, {}};
        if (withStatus)
            set(row, QStringLiteral("STATUS"), QStringLiteral("No record"));
        if (!post(row))
            return false;
    }
    return true;
}

bool TMemberSheet::walkDays(TDataSet &details, bool withStatus, QDate &day,
                            const std::function<bool(const QDate &)> &dayRow)
{
    day = m_param.FromDate.date();
    while (!details.Eof()) {
        const QDate recordDay = recordTime(details).date();
        if (!m_param.BlankLines)
            day = recordDay;
        if (day.isValid() && day < recordDay) {
            TRow blank{day, {}};
            if (withStatus)
                set(blank, QStringLiteral("STATUS"), QStringLiteral("No record"));
            if (!post(blank))
                return false;
            day = day.addDays(1);
            continue;
        }
        if (!dayRow(recordDay))
            return false;
        day = recordDay.addDays(1);
    }
    return true;
}

bool TMemberSheet::writeRawLogRows(TDataSet &details)
{
    const int slotCount = 2 * m_param.PairsPerLine;
    QDate day;
    return walkDays(details, false, day,
                    [&](const QDate &recordDay) {
                        // As many rows as the day's records need, DATE on the first only.
                        bool firstOfDay = true;
                        while (onDay(details, recordDay)) {
                            TRow row{firstOfDay ? recordDay : QDate(), {}};
                            for (int slot = 1; slot <= slotCount && onDay(details, recordDay);
                                 ++slot) {
                                set(row, QStringLiteral("TIME") + QString::number(slot),
                                    timeText(recordTime(details)));
                                details.Next();
                            }
                            if (!post(row))
                                return false;
                            firstOfDay = false;
                        }
                        return true;
                    }) &&
           finishSheet(day, false);
}

bool TMemberSheet::writeFirstInLastOutRows(TDataSet &details)
{
    const bool inOutMode = m_param.ModeFilter == 2;
    QDate day;
    return walkDays(details, true, day,
                    [&](const QDate &recordDay) {
                        TRow row{recordDay, {}};
                        QDateTime t = recordTime(details);
                        TInOutPair pair;
                        FirstInLastOut(details, t, pair, inOutMode);
                        const bool in = pair.InTime.isValid(), out = pair.OutTime.isValid();
                        const QString &first = m_param.FirstLabel, &second = m_param.SecondLabel;
                        if (in)
                            set(row, first, timeText(pair.InTime));
                        else if (out)
                            set(row, first, QStringLiteral("No ") + first);
                        if (out)
                            set(row, second, timeText(pair.OutTime));
                        else if (in)
                            set(row, second, QStringLiteral("No ") + second);
                        if (!in && !out)
                            set(row, QStringLiteral("STATUS"), QStringLiteral("No matched"));
                        else if (in && out)
                            set(row, QStringLiteral("STATUS"),
                                pair.OutTime > pair.InTime ? QStringLiteral("OK")
                                                           : QStringLiteral("Incorrect"));
                        // Whatever the walker left of the day is the day's too.
                        while (onDay(details, recordDay))
                            details.Next();
                        return post(row);
                    }) &&
           finishSheet(day, true);
}

bool TMemberSheet::writeInOutPairRows(TDataSet &details)
{
    const bool inOutMode = m_param.ModeFilter == 2;
    const int pairs = m_param.PairsPerLine;
    QDate day;
    return walkDays(details, true, day, [&](const QDate &recordDay) {
        TRow row{recordDay, {}};
        QDateTime t = recordTime(details);
        for (int i = 1; i <= pairs; ++i) {
            TInOutPair pair;
            const bool complete = NextInOutPair(details, t, pair, inOutMode);
            const QString n = QString::number(i);
            if (pair.InTime.isValid())
                set(row, m_param.FirstLabel + n, timeText(pair.InTime));
            if (pair.OutTime.isValid())
                set(row, m_param.SecondLabel + n, timeText(pair.OutTime));
            const bool dayOver = !onDay(details, recordDay);
            if (!complete || (dayOver && i < pairs)) {
                set(row, QStringLiteral("STATUS"), QStringLiteral("Incomplete"));
                break;
            }
            if (i == pairs) {
                set(row, QStringLiteral("STATUS"),
                    dayOver ? QStringLiteral("OK") : QStringLiteral("Too much"));
            }
        }
        while (onDay(details, recordDay))
            details.Next();
        return post(row);
    });
}

bool TMemberSheet::writeLateEarlyRows(TDataSet &details, const std::vector<TWindow> &timeTable)
{
    const int pairs = m_param.PairsPerLine;
    QDate day;
    return walkDays(details, false, day, [&](const QDate &recordDay) {
        TRow row{recordDay, {}};
        QDateTime t = recordTime(details);
        int lastWindow = 0;
        for (int i = 1; i <= pairs; ++i) {
            TInOutPair pair;
            if (!NextInOutPair(details, t, pair, true))
                break;
            const TWindowMatch m =
                MatchTimeWindow(timeTable, pair.InTime.time(), pair.OutTime.time());
            if (m.window == 0)
                break;
            if (m.window > lastWindow) {
                lastWindow = m.window;
                if (m.window <= pairs) {
                    const QString w = QString::number(m.window);
                    set(row, m_param.FirstLabel + w, timeText(pair.InTime));
                    set(row, m_param.LateLabel + w, spanText(m_param.TimeFormat, m.lateMs));
                    set(row, m_param.SecondLabel + w, timeText(pair.OutTime));
                    set(row, m_param.EarlyLabel + w, spanText(m_param.TimeFormat, m.earlyMs));
                }
            }
            if (!onDay(details, recordDay))
                break;
        }
        // Every record of the day is accounted for by this one row.
        while (onDay(details, recordDay))
            details.Next();
        return post(row);
    });
}

// ---- The whole run ----------------------------------------------------------------------------

TMemberWorkbookExport::TMemberWorkbookExport(TWorkbookKind kind, const TReportScope &scope)
    : m_kind(kind), m_scope(scope)
{
}

void TMemberWorkbookExport::readScope(TDataSet &details)
{
    const bool lateEarly = m_kind == TWorkbookKind::LateEarly;
    m_param.ModeFilter = lateEarly ? 2 : std::clamp(m_scope.RecordsOfInterest, 0, 2);
    const bool inOut = m_param.ModeFilter == 2 || m_kind == TWorkbookKind::InOutPairs || lateEarly;
    m_param.FirstLabel = inOut ? QStringLiteral("IN") : QStringLiteral("FIRST");
    m_param.SecondLabel = inOut ? QStringLiteral("OUT") : QStringLiteral("LAST");
    m_param.LateLabel = lateEarly ? QStringLiteral("LT") : QString();
    m_param.EarlyLabel = lateEarly ? QStringLiteral("EL") : QString();
    GetScopeDateRange(m_scope, details, m_param);
    m_param.NewPagePerPerson = m_scope.NewPagePerPerson;
    m_param.BlankLines = m_scope.BlankLines;
    // Without a pairs-a-line choice, one pair a line.
    m_param.PairsPerLine = std::clamp(m_scope.PairsPerLine, 1, 4);
    m_param.TimeFormat = QStringLiteral("HH:mm:ss");
}

bool TMemberWorkbookExport::loadTimeTable(TDatabase &sys, int group,
                                          std::vector<TMemberSheet::TWindow> &windows)
{
    windows.clear();
    try {
        TStatement q = sys.Prepare(
            QStringLiteral("select timein, timeout from timetbl where gid=? order by timein"));
        q.Bind(1, group);
        while (q.Step())
            windows.emplace_back(DbTextToDateTime(q.ColumnText(0)).time(),
                                 DbTextToDateTime(q.ColumnText(1)).time());
    } catch (const EDatabaseError &) {
        ShowUpdateFailed();
        return false;
    }
    return true;
}

TMemberWorkbookExport::Outcome TMemberWorkbookExport::Run(const QString &path)
{
    TDataSet master(dsrc->src);
    TDataSet details(dsrc->att);
    const TPragmaScope cache(dsrc->att, "cache_size", -RunCacheKiB);
    if (!BuildStaffScopeQuery(master, m_scope)) {
        ShowUpdateFailed();
        return Outcome::NoMembers;
    }
    if (!TWorkbook::CanReplace(path))
        return Outcome::CannotReplace;
    TWorkbook book(path);
    if (!book.IsOpen())
        return Outcome::CannotOpen;
    if (m_rowLimit > 0)
        book.SetRowLimit(m_rowLimit);
    readScope(details);
    if (m_onStart)
        m_onStart(master.RecordCount());

    Outcome outcome = Outcome::Completed;
    std::unique_ptr<TMemberSheet> shared;
    if (!m_param.NewPagePerPerson) {
        TWorksheet *sheet = book.AddSheet(SharedSheetName);
        if (!sheet) {
            m_error = SharedSheetName + QStringLiteral(": ") + book.ErrorText();
            return Outcome::SheetRefused;
        }
        shared = std::make_unique<TMemberSheet>(*sheet, m_kind, m_param, true);
    }
    std::vector<std::unique_ptr<TMemberSheet>> ownSheets;
    std::vector<TMemberSheet::TWindow> timeTable;
    for (master.First(); !master.Eof(); master.Next()) {
        // Swipes are answered between members.
        QCoreApplication::processEvents();
        try {
            OpenStaffLogQuery(master, details, m_param);
        } catch (const EDatabaseError &) {
            // A member whose records cannot be read is left out; the others still go in.
            continue;
        }
        TMemberSheet *target = shared.get();
        if (m_param.NewPagePerPerson) {
            const QString name = SpacesToUnderscores(m_param.Name);
            TWorksheet *sheet = book.AddSheet(name);
            if (!sheet) {
                m_error = name + QStringLiteral(": ") + book.ErrorText();
                outcome = Outcome::SheetRefused;
                break;
            }
            ownSheets.push_back(std::make_unique<TMemberSheet>(*sheet, m_kind, m_param, false));
            target = ownSheets.back().get();
        }
        if (m_onMember)
            m_onMember(m_param.Name);
        if (m_kind == TWorkbookKind::LateEarly &&
            !loadTimeTable(dsrc->src, m_param.WorkGroup, timeTable))
            continue;
        try {
            const TReadSnapshot snapshot(dsrc->att);
            if (!target->WriteMember(details, timeTable)) {
                outcome = Outcome::SheetFull;
                break;
            }
        } catch (const EDatabaseError &) {
            // Records that fail to read part way: the member's rows so far stay, the next
            // member follows.
        }
    }
    details.Close();
    master.Close();
    // What was written stays, also after a refused sheet or a full one.
    if (!book.Close())
        return Outcome::CannotReplace;
    return outcome;
}
