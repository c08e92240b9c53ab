#pragma once
// The workbooks of one row per member and day over a scope: the day's raw times ("Time Logs"),
// its first IN and last OUT, its IN/OUT pairs, or the pairs placed against the member's
// work-group time table with lateness and early leave ("Late and Early Leave"). All members on
// the sheet "all_records", or one sheet per member named after the member, over the choices of
// a report scope. Main thread only (dsrc's connections).

#include "store/pairing.h"
#include "store/reportscope.h"

#include <QDate>
#include <QString>
#include <QStringList>
#include <QTime>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

class TDataSet;
class TDatabase;
class TWorkbook;
class TWorksheet;

enum class TWorkbookKind
{
    TimeLogs,
    FirstInLastOut,
    InOutPairs,
    LateEarly,
};

// Rows of one sheet. The header row is written when it is made; each member's rows follow.
class TMemberSheet
{
public:
    // shared: the sheet "all_records", with NAME and GROUP on each member's first row.
    TMemberSheet(TWorksheet &sheet, TWorkbookKind kind, const TReptParam &param, bool shared);

    // The member's rows from the open log query (the member's records in time order, its
    // first record current). timeTable: the member's windows, for LateEarly. False when the
    // sheet refused a row (it is full); the rows written stay.
    using TWindow = std::pair<QTime, QTime>; // timein, timeout
    bool WriteMember(TDataSet &details, const std::vector<TWindow> &timeTable);

    QStringList Columns() const { return m_columns; }

private:
    struct TRow
    {
        QDate date; // invalid: no DATE cell
        std::vector<std::pair<int, QString>> texts;
    };
    int column(const QString &name) const;
    void set(TRow &row, const QString &name, const QString &text) const;
    bool post(TRow &row);
    QString timeText(const QDateTime &t) const;

    // The day walk of every writer: days before the next record's day get a blank row of
    // their own (blank lines on); dayRow writes the rows of a record's day and consumes its
    // records. day ends as the day after the last day walked. False when a row was refused.
    bool walkDays(TDataSet &details, bool withStatus, QDate &day,
                  const std::function<bool(const QDate &)> &dayRow);
    bool writeRawLogRows(TDataSet &details);
    bool writeFirstInLastOutRows(TDataSet &details);
    bool writeInOutPairRows(TDataSet &details);
    bool writeLateEarlyRows(TDataSet &details, const std::vector<TWindow> &timeTable);
    // With blank lines on, a row for each day from day through the scope's last day.
    bool finishSheet(QDate day, bool withStatus);

    TWorksheet &m_sheet;
    TWorkbookKind m_kind;
    const TReptParam &m_param;
    bool m_shared;
    QStringList m_columns;
    int m_nextRow = 1;
    bool m_firstRow = true; // the member's first row is still to come
    bool m_refused = false;
};

// The window number (from 1) of the first window of the time table whose end is later than
// the IN, with the lateness of the IN and the early leave of the OUT as spans in milliseconds;
// 0 when no window matches.
struct TWindowMatch
{
    int window = 0;
    qint64 lateMs = 0;
    qint64 earlyMs = 0;
};
TWindowMatch MatchTimeWindow(const std::vector<TMemberSheet::TWindow> &timeTable, const QTime &in,
                             const QTime &out);

// One run of a per-member workbook over the scope's choices.
class TMemberWorkbookExport
{
public:
    enum class Outcome
    {
        Completed,
        NoMembers,     // the member query could not be built
        SheetRefused,  // a sheet name the workbook refused; the sheets before it stay
        SheetFull,     // a sheet passed its row limit; the rows before stay
        CannotReplace, // the workbook could not be put in place
        CannotOpen,    // the workbook could not be made
    };

    TMemberWorkbookExport(TWorkbookKind kind, const TReportScope &scope);

    // Called with the member count before the first member, then before each member with
    // its name; the event loop turns once per member.
    void SetOnStart(std::function<void(int members)> hook) { m_onStart = std::move(hook); }
    void SetOnMember(std::function<void(const QString &name)> hook)
    {
        m_onMember = std::move(hook);
    }
    void SetRowLimit(int rows) { m_rowLimit = rows; }

    Outcome Run(const QString &path);
    // The name of the sheet refused, with the workbook's reason.
    QString ErrorText() const { return m_error; }
    const TReptParam &Param() const { return m_param; }

private:
    void readScope(TDataSet &details);
    bool loadTimeTable(TDatabase &sys, int group, std::vector<TMemberSheet::TWindow> &windows);

    TWorkbookKind m_kind;
    TReportScope m_scope;
    TReptParam m_param;
    std::function<void(int)> m_onStart;
    std::function<void(const QString &)> m_onMember;
    int m_rowLimit = 0;
    QString m_error;
};
