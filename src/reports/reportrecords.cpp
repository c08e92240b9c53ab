#include "reports/reportrecords.h"

#include "store/dataset.h"
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

TReportRecords readAll(TDataSet &query)
{
    query.Open();
    TReportRecords records;
    records.reserve(query.RecordCount());
    const TField systime = query.FieldByName(QStringLiteral("SYSTIME"));
    const TField card = query.FieldByName(QStringLiteral("CARDNO"));
    const TField mode = query.FieldByName(QStringLiteral("MODE"));
    for (; !query.Eof(); query.Next()) {
        const QDateTime t = ClearMilliseconds(systime.AsDateTime());
        // Kept as the clock read it: no zone, no shift at a daylight-saving change.
        records.push_back(
            {QDateTime(t.date(), t.time(), Qt::UTC), card.AsInteger(), mode.AsInteger()});
    }
    query.Close();
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
    TDataSet query(att, sql);
    return readAll(query);
}

TReportRecords LoadDayRecordsLatestFirst(TDatabase &att, const QDate &day)
{
    TDataSet query(att, QStringLiteral("select SYSTIME, CARDNO, MODE from recorder where SYSTIME") +
                            MakeDateRangeSql(day, day) +
                            QStringLiteral("order by CARDNO, SYSTIME desc"));
    return readAll(query);
}

TReportRecords LoadDayRecordsByMode(TDatabase &att, int card, const QDate &day)
{
    TDataSet query(att, QStringLiteral("select SYSTIME, CARDNO, MODE from recorder where CARDNO=") +
                            QString::number(card) + QStringLiteral(" and SYSTIME") +
                            MakeDateRangeSql(day, day) + QStringLiteral("order by MODE, SYSTIME"));
    return readAll(query);
}
