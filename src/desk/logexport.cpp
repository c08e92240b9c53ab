#include "desk/logexport.h"

#include "store/db/dbtime.h"
#include "store/db/sqlitedb.h"
#include "store/utils.h"
#include "store/workbook.h"

#include <QByteArray>
#include <QDateTime>
#include <QHash>
#include <QSaveFile>
#include <array>
#include <cstdio>

namespace {

struct TCardNames
{
    QByteArray name;  // UTF-8
    QByteArray group; // UTF-8, empty when the group is gone
};

// Every registered card with its holder's name and group. A card on several staff rows reads
// as the first of them by name, as a look-up in the staff list by card would find.
QHash<qint64, TCardNames> loadCardNames(TDatabase &sys)
{
    QHash<qint64, TCardNames> names;
    TStatement q = sys.Prepare(QStringLiteral(
        "SELECT s.CARDNO, s.NAME, g.DESCX FROM staffs s LEFT JOIN gid g ON g.ID = s.WORKGRP "
        "ORDER BY s.NAME, s.SEQ"));
    while (q.Step()) {
        const qint64 card = q.ColumnInt64(0);
        if (names.contains(card))
            continue;
        names.insert(card, {q.ColumnText(1).toUtf8(), q.ColumnText(2).toUtf8()});
    }
    return names;
}

// The log rows there are now, in time order; rows logged while the export runs come after
// the last one counted and are left out.
TStatement openLogWalk(TDatabase &att)
{
    TStatement last = att.Prepare(QStringLiteral("SELECT max(rowid) FROM recorder"));
    const qint64 lastRowid = last.Step() ? last.ColumnInt64(0) : 0;
    TStatement q = att.Prepare(
        QStringLiteral("SELECT SYSTIME, CARDNO, MODE, READER, LOCK FROM recorder WHERE rowid <= ? "
                       "ORDER BY SYSTIME"));
    q.Bind(1, lastRowid);
    return q;
}

// A stored date-time as its clock reads, in the usual form or any other a file may hold (a
// time of day alone on the zero date). Invalid when it is no time.
TDbTime readStamp(const TStatement &walk, int column)
{
    const QByteArrayView text = walk.ColumnTextView(column);
    if (text.isNull())
        return {};
    if (text.size() == DbTimeLength) {
        const TDbTime usual = ReadDbTime(text, DbTimeRead::Whole);
        if (usual.IsValid())
            return usual;
    }
    return ReadDbTime(text, DbTimeRead::Lenient);
}

constexpr int PortTexts = 9; // 0 (no door) and the ports 1..8

std::array<QByteArray, PortTexts> portNames()
{
    std::array<QByteArray, PortTexts> names;
    for (int port = 0; port < PortTexts; ++port)
        names[std::size_t(port)] = GetPortName(port).toUtf8();
    return names;
}

// The modes' texts as the grid shows them; every mode past the last known one reads as the
// same text.
constexpr int KnownModes = 3;

class TModeTexts
{
public:
    TModeTexts()
    {
        for (int mode = 0; mode <= KnownModes; ++mode)
            m_texts[std::size_t(mode)] = GetModeName(mode).toUtf8();
    }
    const char *operator()(int mode) const
    {
        return m_texts[std::size_t(mode >= 0 && mode < KnownModes ? mode : KnownModes)].constData();
    }

private:
    std::array<QByteArray, KnownModes + 1> m_texts;
};

} // namespace

TLogExport::TLogExport(TDatabase &att, TDatabase &sys) : m_att(att), m_sys(sys) {}

void TLogExport::rowDone(int &inBatch)
{
    if (++inBatch < BatchRows)
        return;
    inBatch = 0;
    if (m_step)
        m_step(BatchRows);
    if (m_between)
        m_between();
}

void TLogExport::lastRows(int inBatch)
{
    if (m_step && inBatch > 0)
        m_step(inBatch);
}

int TLogExport::RecordCount() const
{
    TStatement q = m_att.Prepare(QStringLiteral("SELECT count(*) FROM recorder"));
    return q.Step() ? int(q.ColumnInt64(0)) : 0;
}

TLogExport::Outcome TLogExport::ExportText(const QString &path)
{
    // The old file stays as it was until the new one is whole.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return Outcome::FileNotWritten;
    try {
        const QHash<qint64, TCardNames> names = loadCardNames(m_sys);
        TStatement walk = openLogWalk(m_att);
        // The date and the time of day in the locale's words and separators, made once per
        // day and once per export.
        QDate lastDate;
        QByteArray dateText;
        const QByteArray timeSep =
            FormatDateTime(QStringLiteral(":"), QDateTime(QDate(2000, 1, 1), QTime(0, 0))).toUtf8();
        const QByteArray unknown = QByteArrayLiteral(" \"[NO NAME]\" \"[NO GROUP]\"");
        const TModeTexts modeName;
        QByteArray out;
        constexpr int FlushBytes = 1 << 16;
        out.reserve(FlushBytes + 512);
        int inBatch = 0;
        while (walk.Step()) {
            const TDbTime s = readStamp(walk, 0);
            if (!s.IsValid() || s.Date != lastDate) {
                lastDate = s.Date;
                // A row without a readable time prints as the zero date, as a null time does.
                dateText = FormatDateTime(
                               QStringLiteral("YYYY/MMM/DD"),
                               QDateTime(s.IsValid() ? s.Date : QDate(1899, 12, 30), QTime(0, 0)))
                               .toUtf8();
            }
            char buf[64];
            out += dateText;
            std::snprintf(buf, sizeof buf, " %02d", s.IsValid() ? s.Time.hour() : 0);
            out += buf;
            out += timeSep;
            std::snprintf(buf, sizeof buf, "%02d", s.IsValid() ? s.Time.minute() : 0);
            out += buf;
            out += timeSep;
            std::snprintf(buf, sizeof buf, "%02d", s.IsValid() ? s.Time.second() : 0);
            out += buf;
            const qint64 card = walk.ColumnInt64(1);
            std::snprintf(buf, sizeof buf, " %.9d", int(card));
            out += buf;
            const auto found = names.constFind(card);
            if (found == names.cend()) {
                out += unknown;
            } else {
                out += " \"";
                out += found->name;
                out += "\" \"";
                out += found->group;
                out += '"';
            }
            out += " {";
            out += modeName(int(walk.ColumnInt64(2)));
            out += "}\r\n";
            if (out.size() >= FlushBytes) {
                if (file.write(out) != out.size()) {
                    file.cancelWriting();
                    return Outcome::FileNotWritten;
                }
                out.clear();
            }
            rowDone(inBatch);
        }
        lastRows(inBatch);
        if (file.write(out) != out.size()) {
            file.cancelWriting();
            return Outcome::FileNotWritten;
        }
    } catch (const EDatabaseError &) {
        file.cancelWriting();
        return Outcome::FileNotWritten;
    }
    return file.commit() ? Outcome::Completed : Outcome::FileNotWritten;
}

TLogExport::Outcome TLogExport::ExportWorkbook(const QString &path)
{
    if (!TWorkbook::CanReplace(path))
        return Outcome::CannotReplace;
    TWorkbook book(path);
    if (!book.IsOpen())
        return Outcome::CannotOpen;
    if (m_rowLimit > 0)
        book.SetRowLimit(m_rowLimit);
    TWorksheet *sheet = book.AddSheet(QStringLiteral("RECORDS"));
    if (!sheet)
        return Outcome::CannotOpen;
    enum
    {
        ColDate,
        ColTime,
        ColCard,
        ColName,
        ColGroup,
        ColMode,
        ColReader,
        ColLock,
    };
    static const char *const headers[] = {"DATE",  "TIME", "CARDNO", "NAME",
                                          "GROUP", "MODE", "READER", "LOCK"};
    for (int col = ColDate; col <= ColLock; ++col)
        sheet->WriteHeader(0, col, QString::fromLatin1(headers[col]));
    sheet->SetColumnWidth(ColDate, ColDate, 12);
    sheet->SetColumnWidth(ColCard, ColCard, 11);
    sheet->SetColumnWidth(ColName, ColGroup, 18);
    sheet->SetColumnWidth(ColReader, ColLock, 12);

    const QHash<qint64, TCardNames> names = loadCardNames(m_sys);
    const std::array<QByteArray, PortTexts> ports = portNames();
    const TModeTexts modeName;
    const auto portName = [&ports](int port) {
        return port >= 0 && port < PortTexts ? ports[std::size_t(port)].constData() : "ERROR";
    };
    TStatement walk = openLogWalk(m_att);
    int row = 1;
    int inBatch = 0;
    bool refused = false;
    while (walk.Step()) {
        const TDbTime s = readStamp(walk, 0);
        const qint64 card = walk.ColumnInt64(1);
        const auto found = names.constFind(card);
        const bool known = found != names.cend();
        bool ok = true;
        if (s.IsValid()) {
            ok = sheet->WriteDate(row, ColDate, s.Date) && sheet->WriteTime(row, ColTime, s.Time);
        }
        ok = ok && sheet->WriteNumber(row, ColCard, double(card)) &&
             sheet->WriteString(row, ColName, known ? found->name.constData() : "[NO NAME]") &&
             (known && found->group.isEmpty()
                  ? true
                  : sheet->WriteString(row, ColGroup,
                                       known ? found->group.constData() : "[NO GROUP]")) &&
             sheet->WriteString(row, ColMode, modeName(int(walk.ColumnInt64(2)))) &&
             sheet->WriteString(row, ColReader, portName(int(walk.ColumnInt64(3)))) &&
             sheet->WriteString(row, ColLock, portName(int(walk.ColumnInt64(4))));
        if (!ok) {
            // The sheet is full (or refused the row): what is written is kept.
            refused = true;
            break;
        }
        ++row;
        rowDone(inBatch);
    }
    lastRows(inBatch);
    walk = TStatement();
    if (!book.Close())
        return Outcome::CannotReplace;
    return refused ? Outcome::RowRefused : Outcome::Completed;
}
