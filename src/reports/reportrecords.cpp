#include "reports/reportrecords.h"

#include "store/db/sqlitedb.h"
#include "store/pairing.h"
#include "store/utils.h"

#include <QTimeZone>

int RecordsPerLineOrDefault(int stored)
{
    switch (stored) {
    case 2:
    case 4:
    case 6:
    case 8:
        return stored;
    default:
        return 4;
    }
}

qint64 WallClockMsecs(const QDateTime &from, const QDateTime &to)
{
    const QDateTime a(from.date(), from.time(), Qt::UTC);
    const QDateTime b(to.date(), to.time(), Qt::UTC);
    return a.msecsTo(b);
}

namespace {

// Straight through a statement: a report reads tens of thousands of rows, and the stored text
// is read as the clock wrote it (no zone, so no shift at a daylight-saving change, and no
// time-zone lookup per row), the milliseconds left out.
TReportRecords readAll(TDatabase &att, const QString &sql)
{
    TStatement query = att.Prepare(sql);
    TReportRecords records;
    while (query.Step())
        records.push_back({WallClockFromDbText(query.ColumnText(0)), int(query.ColumnInt64(1)),
                           int(query.ColumnInt64(2))});
    return records;
}

} // namespace

TReportRecords LoadPersonRecords(TDatabase &att, int card, TRecordsOfInterest interest,
                                 const QDate &from, const QDate &to, bool allDates)
{
    QString sql = QStringLiteral("select SYSTIME, CARDNO, MODE from recorder where CARDNO=") +
                  QString::number(card);
    if (interest == TRecordsOfInterest::Clock)
        sql += QStringLiteral(" and MODE=0");
    else if (interest == TRecordsOfInterest::InOut)
        sql += QStringLiteral(" and MODE>0");
    if (!allDates)
        sql += QStringLiteral(" and SYSTIME") + MakeDateRangeSql(from, to);
    sql += QStringLiteral(" order by SYSTIME");
    return readAll(att, sql);
}

TReportRecords LoadDayRecordsLatestFirst(TDatabase &att, const QDate &day)
{
    return readAll(att, QStringLiteral("select SYSTIME, CARDNO, MODE from recorder where SYSTIME") +
                            MakeDateRangeSql(day, day) +
                            QStringLiteral("order by CARDNO, SYSTIME desc"));
}

TReportRecords LoadDayRecordsByMode(TDatabase &att, int card, const QDate &day)
{
    return readAll(att, QStringLiteral("select SYSTIME, CARDNO, MODE from recorder where CARDNO=") +
                            QString::number(card) + QStringLiteral(" and SYSTIME") +
                            MakeDateRangeSql(day, day) + QStringLiteral("order by MODE, SYSTIME"));
}
