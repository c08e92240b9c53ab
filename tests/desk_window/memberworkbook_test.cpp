// Per-member workbooks: one row per member and day over the scope (raw times, first IN and
// last OUT, IN/OUT pairs, pairs against the time table), read back through openpyxl.

#include "desk/memberworkbook.h"
#include "store/datasrc.h"
#include "store/db/sqlitedb.h"
#include "store/logrow.h"
#include "store/utils.h"
#include "testsupport/fakemessages.h"
#include "testsupport/rows.h"
#include "testsupport/tempdata.h"
#include "testsupport/workbookreader.h"

#include <QCoreApplication>
#include <QDir>
#include <QLocale>
#include <QTemporaryDir>
#include <cstring>
#include <gtest/gtest.h>
#include <sqlite3.h>

namespace {

QStringList texts(std::initializer_list<const char *> items)
{
    QStringList list;
    for (const char *item : items)
        list << QString::fromUtf8(item);
    return list;
}

std::string shown(const QList<QStringList> &rows)
{
    std::string out;
    for (const QStringList &row : rows)
        out += row.join(u'|').toStdString() + "\n";
    return out;
}

// The scope as the scope dialog hands it over: all staff, a range, the IN/OUT records, one
// pair a line, no options.
TReportScope weekScope()
{
    TReportScope scope;
    scope.Persons = TPersonsChoice::All;
    scope.Dates = TDateChoice::Range;
    scope.RecordsOfInterest = 2;
    scope.PairsPerLine = 1;
    return scope;
}

struct Rec
{
    int day; // of June 2026
    const char *time;
    int mode;
};

class MemberWorkbookTest : public TempDataTest
{
protected:
    void SetUp() override
    {
        TempDataTest::SetUp();
        m_locale = QLocale();
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        m_scope.From = QDateTime(QDate(2026, 6, 1), QTime(0, 0));
        m_scope.To = QDateTime(QDate(2026, 6, 7), QTime(0, 0));
    }
    void TearDown() override
    {
        QLocale::setDefault(m_locale);
        TempDataTest::TearDown();
    }
    void addLog(int card, std::initializer_list<Rec> recs)
    {
        for (const Rec &r : recs)
            AddLog(QDateTime(QDate(2026, 6, r.day), QTime::fromString(QString::fromLatin1(r.time))),
                   card, r.mode, 1, 1);
    }
    void addWindow(int group, const char *in, const char *out)
    {
        TStatement st = dsrc->src.Prepare(
            QStringLiteral("insert into timetbl (gid, timein, timeout) values (?, ?, ?)"));
        st.Bind(1, group);
        st.Bind(2, QString::fromLatin1(in));
        st.Bind(3, QString::fromLatin1(out));
        st.Step();
    }
    // The workbook of that kind, its outcome expected, read back.
    QList<TSheetRows>
    run(TWorkbookKind kind,
        TMemberWorkbookExport::Outcome expected = TMemberWorkbookExport::Outcome::Completed,
        int rowLimit = 0)
    {
        const QString path = QDir(m_out.path()).filePath(QStringLiteral("book.xlsx"));
        TMemberWorkbookExport exporter(kind, m_scope);
        if (rowLimit)
            exporter.SetRowLimit(rowLimit);
        EXPECT_EQ(exporter.Run(path), expected) << exporter.ErrorText().toStdString();
        m_error = exporter.ErrorText();
        return ReadWorkbook(path);
    }
    // The rows of the only sheet, header included.
    QList<QStringList> rowsOf(TWorkbookKind kind)
    {
        const QList<TSheetRows> sheets = run(kind);
        EXPECT_EQ(sheets.size(), 1);
        return sheets.value(0).rows;
    }

    TReportScope m_scope = weekScope();
    FakeMessages m_messages;
    QTemporaryDir m_out;
    QLocale m_locale;
    QString m_error;
};

TEST_F(MemberWorkbookTest, PairsPerDayAgainstTheRecordsPerLine)
{
    AddStaff(1, QStringLiteral("Ann Lee"));
    addLog(1, {{1, "08:00:00", 1},
               {1, "17:00:00", 2}, // OK
               {2, "08:00:00", 1},
               {2, "12:00:00", 2},
               {2, "13:00:00", 1},
               {2, "17:00:00", 2},   // more
               {3, "08:00:00", 1}}); // lone IN
    const QList<QStringList> rows = rowsOf(TWorkbookKind::InOutPairs);
    const QList<QStringList> expected = {
        texts({"s:NAME", "s:GROUP", "s:DATE", "s:IN1", "s:OUT1", "s:STATUS"}),
        texts({"s:Ann Lee", "s:DEFAULT", "d:2026-06-01", "s:08:00:00", "s:17:00:00", "s:OK"}),
        texts({"", "", "d:2026-06-02", "s:08:00:00", "s:12:00:00", "s:Too much"}),
        texts({"", "", "d:2026-06-03", "s:08:00:00", "", "s:Incomplete"}),
    };
    EXPECT_EQ(shown(rows), shown(expected));
}

TEST_F(MemberWorkbookTest, TwoPairsExpectedAndOneFoundIsIncomplete)
{
    m_scope.PairsPerLine = 2; // "4": two pairs a line
    AddStaff(1, QStringLiteral("Ann"));
    addLog(1, {{1, "08:00:00", 1}, {1, "12:00:00", 2}});
    const QList<QStringList> rows = rowsOf(TWorkbookKind::InOutPairs);
    ASSERT_EQ(rows.size(), 2);
    EXPECT_EQ(rows[0], texts({"s:NAME", "s:GROUP", "s:DATE", "s:IN1", "s:OUT1", "s:IN2", "s:OUT2",
                              "s:STATUS"}));
    EXPECT_EQ(rows[1], texts({"s:Ann", "s:DEFAULT", "d:2026-06-01", "s:08:00:00", "s:12:00:00", "",
                              "", "s:Incomplete"}));
}

TEST_F(MemberWorkbookTest, FirstAndLastOfADay)
{
    struct Case
    {
        const char *what;
        int scope;
        std::initializer_list<Rec> recs;
        QStringList header;
        QStringList row;
    };
    const Case cases[] = {
        {"all records, one record",
         0,
         {{1, "08:00:00", 1}},
         texts({"s:NAME", "s:GROUP", "s:DATE", "s:FIRST", "s:LAST", "s:STATUS"}),
         texts({"s:Ann", "s:DEFAULT", "d:2026-06-01", "s:08:00:00", "s:No LAST"})},
        {"in/out, an OUT only",
         2,
         {{1, "17:00:00", 2}},
         texts({"s:NAME", "s:GROUP", "s:DATE", "s:IN", "s:OUT", "s:STATUS"}),
         texts({"s:Ann", "s:DEFAULT", "d:2026-06-01", "", "", "s:No matched"})},
        {"in/out, first IN last OUT",
         2,
         {{1, "07:00:00", 2},
          {1, "08:00:00", 1},
          {1, "09:00:00", 1},
          {1, "12:00:00", 2},
          {1, "17:00:00", 2}},
         texts({"s:NAME", "s:GROUP", "s:DATE", "s:IN", "s:OUT", "s:STATUS"}),
         texts({"s:Ann", "s:DEFAULT", "d:2026-06-01", "s:08:00:00", "s:17:00:00", "s:OK"})},
        {"clock, two records at the same second",
         1,
         {{1, "08:00:00", 0}, {1, "08:00:00", 0}},
         texts({"s:NAME", "s:GROUP", "s:DATE", "s:FIRST", "s:LAST", "s:STATUS"}),
         texts({"s:Ann", "s:DEFAULT", "d:2026-06-01", "s:08:00:00", "s:08:00:00", "s:Incorrect"})},
    };
    AddStaff(1, QStringLiteral("Ann"));
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        TTransaction clear(dsrc->att);
        dsrc->att.Exec(QStringLiteral("delete from recorder"));
        clear.Commit();
        addLog(1, c.recs);
        m_scope.RecordsOfInterest = c.scope;
        const QList<QStringList> rows = rowsOf(TWorkbookKind::FirstInLastOut);
        ASSERT_EQ(rows.size(), 2);
        EXPECT_EQ(rows[0], c.header);
        EXPECT_EQ(rows[1], c.row);
    }
}

TEST_F(MemberWorkbookTest, BlankLinesGiveEveryDayOnlyWhereTheWorkbookHasTrailingDays)
{
    struct Case
    {
        const char *what;
        TWorkbookKind kind;
        int rows;
    };
    const Case cases[] = {
        {"time logs", TWorkbookKind::TimeLogs, 7},
        {"first in last out", TWorkbookKind::FirstInLastOut, 7},
        {"in/out pairs", TWorkbookKind::InOutPairs, 3},
        {"late and early leave", TWorkbookKind::LateEarly, 3},
    };
    m_scope.BlankLines = true;
    AddStaff(1, QStringLiteral("Ann"));
    addLog(1, {{3, "08:00:00", 1}, {3, "17:00:00", 2}});
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        const QList<QStringList> rows = rowsOf(c.kind);
        ASSERT_EQ(rows.size(), c.rows + 1);
        EXPECT_EQ(rows[1].value(2), QStringLiteral("d:2026-06-01"));
        EXPECT_EQ(rows[3].value(2), QStringLiteral("d:2026-06-03"));
        EXPECT_EQ(rows[c.rows].value(2), QStringLiteral("d:2026-06-0") + QString::number(c.rows));
    }
    // A day without records says so in the first-and-last workbook.
    const QList<QStringList> filo = rowsOf(TWorkbookKind::FirstInLastOut);
    EXPECT_EQ(filo[1], texts({"s:Ann", "s:DEFAULT", "d:2026-06-01", "", "", "s:No record"}));
    EXPECT_EQ(filo[7], texts({"", "", "d:2026-06-07", "", "", "s:No record"}));
}

TEST_F(MemberWorkbookTest, TimeLogsContinueADayOnAnotherRowAndDaysAreCalendarDays)
{
    m_scope.RecordsOfInterest = 0;
    AddStaff(1, QStringLiteral("Ann"));
    addLog(1, {{1, "08:00:00", 1}, {1, "12:00:00", 2}, {1, "23:59:59", 1}, {2, "00:00:00", 2}});
    const QList<QStringList> rows = rowsOf(TWorkbookKind::TimeLogs);
    const QList<QStringList> expected = {
        texts({"s:NAME", "s:GROUP", "s:DATE", "s:TIME1", "s:TIME2"}),
        texts({"s:Ann", "s:DEFAULT", "d:2026-06-01", "s:08:00:00", "s:12:00:00"}),
        texts({"", "", "", "s:23:59:59"}),
        texts({"", "", "d:2026-06-02", "s:00:00:00"}),
    };
    EXPECT_EQ(shown(rows), shown(expected));
}

TEST_F(MemberWorkbookTest, PairsPlacedInTheTimeTableWindows)
{
    struct Case
    {
        const char *what;
        int recordIndex; // of "2", "4", "6", "8"
        std::initializer_list<Rec> recs;
        QStringList row; // from DATE on
    };
    const Case cases[] = {
        {"late in the first, early out of the second",
         1,
         {{1, "09:10:00", 1}, {1, "12:00:00", 2}, {1, "13:00:00", 1}, {1, "17:30:00", 2}},
         texts({"d:2026-06-01", "s:09:10:00", "s:00:10:00", "s:12:00:00", "s:00:00:00",
                "s:13:00:00", "s:00:00:00", "s:17:30:00", "s:00:30:00"})},
        {"at the window's edges",
         1,
         {{1, "09:00:00", 1}, {1, "12:00:00", 2}},
         texts({"d:2026-06-01", "s:09:00:00", "s:00:00:00", "s:12:00:00", "s:00:00:00"})},
        {"two pairs in one window: the first only",
         1,
         {{1, "09:00:00", 1}, {1, "10:00:00", 2}, {1, "10:30:00", 1}, {1, "11:00:00", 2}},
         texts({"d:2026-06-01", "s:09:00:00", "s:00:00:00", "s:10:00:00", "s:02:00:00"})},
        {"an IN after every window",
         1,
         {{1, "18:00:00", 1}, {1, "19:00:00", 2}},
         texts({"d:2026-06-01"})},
        {"one column group, first pair in the second window",
         0,
         {{1, "13:00:00", 1}, {1, "18:00:00", 2}, {1, "19:00:00", 1}},
         texts({"d:2026-06-01"})},
        {"no complete pair", 1, {{1, "07:00:00", 2}, {1, "09:00:00", 1}}, texts({"d:2026-06-01"})},
    };
    const int office = AddGroup(QStringLiteral("Office"));
    addWindow(office, "13:00:00", "18:00:00");
    addWindow(office, "09:00:00", "12:00:00");
    AddStaff(1, QStringLiteral("Ann"), office);
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        TTransaction clear(dsrc->att);
        dsrc->att.Exec(QStringLiteral("delete from recorder"));
        clear.Commit();
        addLog(1, c.recs);
        m_scope.PairsPerLine = c.recordIndex + 1;
        const QList<QStringList> rows = rowsOf(TWorkbookKind::LateEarly);
        ASSERT_EQ(rows.size(), 2);
        EXPECT_EQ(
            rows[0].mid(0, 7),
            c.recordIndex == 0
                ? texts({"s:NAME", "s:GROUP", "s:DATE", "s:IN1", "s:LT1", "s:OUT1", "s:EL1"})
                : texts({"s:NAME", "s:GROUP", "s:DATE", "s:IN1", "s:LT1", "s:OUT1", "s:EL1"}));
        EXPECT_EQ(rows[1].mid(2).join(u'|').toStdString(), c.row.join(u'|').toStdString());
    }
}

TEST_F(MemberWorkbookTest, OneSheetPerMemberAndNamesASheetCannotTake)
{
    struct Case
    {
        const char *what;
        QString second;
        QString refused; // the sheet named in the error; empty: none
    };
    const Case cases[] = {
        {"distinct names", QStringLiteral("Bob Gray"), QString()},
        {"the same once blanks are underscores", QStringLiteral("Ann_Lee"),
         QStringLiteral("Ann_Lee")},
        {"a question mark", QStringLiteral("Bob?"), QStringLiteral("Bob?")},
        {"a slash", QStringLiteral("B/C"), QStringLiteral("B/C")},
        {"brackets", QStringLiteral("[Bob]"), QStringLiteral("[Bob]")},
    };
    m_scope.NewPagePerPerson = true;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        TTransaction clear(dsrc->src);
        dsrc->src.Exec(QStringLiteral("delete from staffs"));
        clear.Commit();
        dsrc->staff.Refresh();
        AddStaff(1, QStringLiteral("Ann Lee"));
        AddStaff(2, c.second);
        addLog(1, {{1, "08:00:00", 1}, {1, "17:00:00", 2}});
        const QList<TSheetRows> sheets =
            run(TWorkbookKind::InOutPairs, c.refused.isEmpty()
                                               ? TMemberWorkbookExport::Outcome::Completed
                                               : TMemberWorkbookExport::Outcome::SheetRefused);
        ASSERT_GE(sheets.size(), 1);
        EXPECT_EQ(sheets[0].name, QStringLiteral("Ann_Lee"));
        EXPECT_EQ(sheets[0].rows.value(0), texts({"s:DATE", "s:IN1", "s:OUT1", "s:STATUS"}));
        EXPECT_EQ(sheets[0].rows.value(1),
                  texts({"d:2026-06-01", "s:08:00:00", "s:17:00:00", "s:OK"}));
        if (c.refused.isEmpty()) {
            ASSERT_EQ(sheets.size(), 2);
            EXPECT_EQ(sheets[1].name, SpacesToUnderscores(c.second));
        } else {
            EXPECT_EQ(sheets.size(), 1) << "the sheets before stay";
            EXPECT_TRUE(m_error.startsWith(c.refused + QStringLiteral(": ")))
                << m_error.toStdString();
        }
    }
}

TEST_F(MemberWorkbookTest, AFullSheetKeepsItsRowsAndEndsTheExport)
{
    AddStaff(1, QStringLiteral("Ann"));
    AddStaff(2, QStringLiteral("Bob"));
    addLog(1, {{1, "08:00:00", 1}, {1, "17:00:00", 2}, {2, "08:00:00", 1}, {2, "17:00:00", 2}});
    addLog(2, {{1, "08:00:00", 1}, {1, "17:00:00", 2}});
    const QList<TSheetRows> sheets =
        run(TWorkbookKind::InOutPairs, TMemberWorkbookExport::Outcome::SheetFull, 3);
    ASSERT_EQ(sheets.size(), 1);
    EXPECT_EQ(sheets[0].rows.size(), 3);
}

// The log refuses the next read of the attendance records once armed, as a damaged or
// unreadable log does for one member's query.
struct RefuseNextLogRead
{
    explicit RefuseNextLogRead(TDatabase &db) : m_db(db.Handle())
    {
        sqlite3_set_authorizer(m_db, &RefuseNextLogRead::decide, this);
    }
    ~RefuseNextLogRead() { sqlite3_set_authorizer(m_db, nullptr, nullptr); }
    static int decide(void *self, int action, const char *table, const char *, const char *,
                      const char *)
    {
        auto *me = static_cast<RefuseNextLogRead *>(self);
        if (action != SQLITE_READ || !me->armed || !table || std::strcmp(table, "recorder") != 0)
            return SQLITE_OK;
        me->armed = false;
        ++me->refused;
        return SQLITE_DENY;
    }
    sqlite3 *m_db;
    bool armed = false;
    int refused = 0;
};

TEST_F(MemberWorkbookTest, AMemberWhoseRecordsCannotBeReadIsSkipped)
{
    struct Case
    {
        const char *what;
        bool sheetPerMember;
        QStringList sheets;
        QList<QStringList> firstSheet;
    };
    const Case cases[] = {
        {"one sheet for all",
         false,
         texts({"all_records"}),
         {texts({"s:NAME", "s:GROUP", "s:DATE", "s:IN1", "s:OUT1", "s:STATUS"}),
          texts({"s:Ann", "s:DEFAULT", "d:2026-06-01", "s:08:00:00", "s:17:00:00", "s:OK"}),
          texts({"s:Cy", "s:DEFAULT", "d:2026-06-03", "s:09:00:00", "s:18:00:00", "s:OK"})}},
        {"a sheet each: none for the member skipped", true, texts({"Ann", "Cy"}), {}},
    };
    AddStaff(1, QStringLiteral("Ann"));
    AddStaff(2, QStringLiteral("Bob"));
    AddStaff(3, QStringLiteral("Cy"));
    addLog(1, {{1, "08:00:00", 1}, {1, "17:00:00", 2}});
    addLog(2, {{2, "08:00:00", 1}, {2, "17:00:00", 2}});
    addLog(3, {{3, "09:00:00", 1}, {3, "18:00:00", 2}});
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        m_scope.NewPagePerPerson = c.sheetPerMember;
        m_messages.Clear();
        const QString path = QDir(m_out.path()).filePath(QStringLiteral("skip.xlsx"));
        RefuseNextLogRead refuse(dsrc->att);
        QStringList stepped;
        TMemberWorkbookExport exporter(TWorkbookKind::InOutPairs, m_scope);
        // Members go by name: Bob's query is the one refused. Armed once Ann's rows are
        // written, as the event loop turns before the next member.
        exporter.SetOnMember([&](const QString &name) {
            stepped << name;
            if (name == QStringLiteral("Ann"))
                QMetaObject::invokeMethod(
                    QCoreApplication::instance(), [&refuse] { refuse.armed = true; },
                    Qt::QueuedConnection);
        });
        EXPECT_EQ(exporter.Run(path), TMemberWorkbookExport::Outcome::Completed);
        EXPECT_EQ(refuse.refused, 1);
        EXPECT_EQ(stepped, texts({"Ann", "Cy"}));
        EXPECT_EQ(m_messages.Texts(), QStringList());
        const QList<TSheetRows> sheets = ReadWorkbook(path);
        QStringList names;
        for (const TSheetRows &sheet : sheets)
            names << sheet.name;
        EXPECT_EQ(names, c.sheets);
        if (!c.firstSheet.isEmpty() && !sheets.isEmpty())
            EXPECT_EQ(shown(sheets[0].rows), shown(c.firstSheet));
    }
}

// A swipe answered while the export runs is written on the log's connection: it must be
// committed on its own, never inside a read the export holds open, and the connection must be
// left as the export found it, on a full sheet too.
TEST_F(MemberWorkbookTest, SwipesDuringTheExportAreCommittedAndTheConnectionIsLeftAsItWas)
{
    const auto cacheSize = [] {
        TStatement st = dsrc->att.Prepare(QStringLiteral("PRAGMA cache_size"));
        st.Step();
        return st.ColumnInt64(0);
    };
    const qint64 cacheBefore = cacheSize();
    AddStaff(1, QStringLiteral("Ann"));
    AddStaff(2, QStringLiteral("Bob"));
    addLog(1, {{1, "08:00:00", 1}, {1, "17:00:00", 2}, {2, "08:00:00", 1}, {2, "17:00:00", 2}});
    addLog(2, {{1, "08:00:00", 1}, {1, "17:00:00", 2}});
    int swipes = 0;
    for (const int rowLimit : {0, 3}) {
        SCOPED_TRACE(rowLimit);
        TMemberWorkbookExport exporter(TWorkbookKind::InOutPairs, m_scope);
        if (rowLimit)
            exporter.SetRowLimit(rowLimit);
        const int before = swipes;
        exporter.SetOnMember([&](const QString &) {
            EXPECT_FALSE(dsrc->att.InTransaction());
            AppendLogRow(dsrc->logs,
                         {QDateTime(QDate(2026, 6, 20), QTime(9, 0, swipes++)), 7, 1, 1, 1});
        });
        EXPECT_EQ(exporter.Run(QDir(m_out.path()).filePath(QStringLiteral("book.xlsx"))),
                  rowLimit ? TMemberWorkbookExport::Outcome::SheetFull
                           : TMemberWorkbookExport::Outcome::Completed);
        EXPECT_GT(swipes, before);
        EXPECT_FALSE(dsrc->att.InTransaction());
        EXPECT_EQ(cacheSize(), cacheBefore);
        // Another connection sees every swipe: each was committed when it was written.
        TDatabase other;
        other.Open(Data().AttendPath(), DbKind::Attend, TDatabase::OpenMode::ReadOnly);
        TStatement count =
            other.Prepare(QStringLiteral("select count(*) from recorder where CARDNO = 7"));
        count.Step();
        EXPECT_EQ(count.ColumnInt64(0), swipes);
    }
}

} // namespace
