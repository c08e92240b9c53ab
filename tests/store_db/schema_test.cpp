// The built templates: every table and column the program relies on, the eight reader rows,
// the default work group, the offline view and the file's kind.

#include "store/dataset.h"
#include "store/dbfile.h"
#include "store/dbschema.h"
#include "testsupport/tempdata.h"

#include <QDir>
#include <gtest/gtest.h>
#include <map>

namespace {

struct TableColumns
{
    DbKind kind;
    const char *table;
    std::vector<const char *> columns;
};

QStringList columnsOf(TDatabase &db, const QString &table)
{
    TStatement st = db.Prepare(QStringLiteral("SELECT name FROM pragma_table_info(?1)"));
    st.Bind(1, table);
    QStringList names;
    while (st.Step())
        names << st.ColumnText(0);
    return names;
}

const std::vector<TableColumns> &expectedTables()
{
    static const std::vector<TableColumns> tables = {
        {DbKind::Attend, "recorder", {"SYSTIME", "CARDNO", "MODE", "READER", "LOCK"}},
        {DbKind::Sysdat,
         "staffs",
         {"SEQ", "CARDNO", "NAME", "WORKGRP", "TIMEGRP", "ACCESSGRP", "PHOTO", "OFFLINE", "COM1",
          "COM2", "COM3", "COM4", "COM5", "COM6", "COM7", "COM8", "MEMO", "PICKED"}},
        {DbKind::Sysdat,
         "gid",
         {"ID", "DESCX", "WD_FROM_1", "WD_TO_1", "WD_FROM_2", "WD_TO_2", "SAT_ENABLE_1",
          "SAT_ENABLE_2", "SAT_FROM_1", "SAT_TO_1", "SAT_FROM_2", "SAT_TO_2", "OT_MIN",
          "OT_MULTI"}},
        {DbKind::Sysdat, "timetbl", {"gid", "timein", "timeout"}},
        {DbKind::Sysdat, "iotime", {"tfrom", "tto"}},
        {DbKind::Sysdat,
         "reader",
         {"PORTNO", "ENABLE", "OUTPORT", "BPPORT", "MODE", "DESC", "LOCKTIME", "MODEL", "APB",
          "CAPTURE", "MOTION"}},
        {DbKind::Sysdat, "apb", {"CARDNO", "STATE"}},
        {DbKind::Sysdat, "emails", {"SEQ", "TITLE", "MSG", "ATTACH"}},
        {DbKind::Sysdat, "passwd", {"PASSWORD"}},
    };
    return tables;
}

QString templatePath(DbKind kind)
{
    return QDir(TempData::TemplateDir())
        .filePath(kind == DbKind::Attend ? AttendTemplateName() : SysdatTemplateName());
}

} // namespace

TEST(Templates, HoldEveryTableWithItsColumnsInOrder)
{
    std::map<DbKind, std::unique_ptr<TDatabase>> dbs;
    for (DbKind kind : {DbKind::Attend, DbKind::Sysdat})
        dbs[kind] = OpenDatabaseFile(templatePath(kind), kind);
    for (const TableColumns &t : expectedTables()) {
        SCOPED_TRACE(t.table);
        QStringList expected;
        for (const char *column : t.columns)
            expected << QString::fromLatin1(column);
        EXPECT_EQ(columnsOf(*dbs[t.kind], QString::fromLatin1(t.table)), expected);
    }
    // attend.db holds the log only.
    TStatement st = dbs[DbKind::Attend]->Prepare(
        QStringLiteral("SELECT count(*) FROM sqlite_schema WHERE type = 'table'"));
    ASSERT_TRUE(st.Step());
    EXPECT_EQ(st.ColumnInt64(0), 1);
}

// Each name the code uses is a table of the templates with its columns, all of them, in order.
TEST(Templates, AreTheTablesAndColumnsTheCodeNames)
{
    namespace S = Schema;
    struct Named
    {
        DbKind kind;
        QString table;
        QStringList columns;
    };
    QStringList staffs = {S::Staffs::Seq,     S::Staffs::CardNo,  S::Staffs::Name,
                          S::Staffs::WorkGrp, S::Staffs::TimeGrp, S::Staffs::AccessGrp,
                          S::Staffs::Photo,   S::Staffs::Offline};
    for (int port = 1; port <= 8; ++port)
        staffs << S::Staffs::Com(port);
    staffs << S::Staffs::Memo << S::Staffs::Picked;
    const Named named[] = {
        {DbKind::Attend,
         S::Recorder::Table,
         {S::Recorder::SysTime, S::Recorder::CardNo, S::Recorder::Mode, S::Recorder::Reader,
          S::Recorder::Lock}},
        {DbKind::Sysdat, S::Staffs::Table, staffs},
        {DbKind::Sysdat,
         S::Gid::Table,
         {S::Gid::Id, S::Gid::Descx, S::Gid::WdFrom1, S::Gid::WdTo1, S::Gid::WdFrom2, S::Gid::WdTo2,
          S::Gid::SatEnable1, S::Gid::SatEnable2, S::Gid::SatFrom1, S::Gid::SatTo1,
          S::Gid::SatFrom2, S::Gid::SatTo2, S::Gid::OtMin, S::Gid::OtMulti}},
        {DbKind::Sysdat,
         S::TimeTbl::Table,
         {S::TimeTbl::Gid, S::TimeTbl::TimeIn, S::TimeTbl::TimeOut}},
        {DbKind::Sysdat, S::IoTime::Table, {S::IoTime::From, S::IoTime::To}},
        {DbKind::Sysdat,
         S::Reader::Table,
         {S::Reader::PortNo, S::Reader::Enable, S::Reader::OutPort, S::Reader::BpPort,
          S::Reader::Mode, S::Reader::Desc, S::Reader::LockTime, S::Reader::Model, S::Reader::Apb,
          S::Reader::Capture, S::Reader::Motion}},
        {DbKind::Sysdat, S::Apb::Table, {S::Apb::CardNo, S::Apb::State}},
        {DbKind::Sysdat,
         S::Emails::Table,
         {S::Emails::Seq, S::Emails::Title, S::Emails::Msg, S::Emails::Attach}},
        {DbKind::Sysdat, S::Passwd::Table, {S::Passwd::Password}},
    };
    std::map<DbKind, std::unique_ptr<TDatabase>> dbs;
    for (DbKind kind : {DbKind::Attend, DbKind::Sysdat})
        dbs[kind] = OpenDatabaseFile(templatePath(kind), kind);
    for (const Named &t : named) {
        SCOPED_TRACE(t.table.toStdString());
        EXPECT_EQ(columnsOf(*dbs[t.kind], t.table), t.columns);
    }
}

TEST(Templates, CarryTheirKindAndSchemaVersion)
{
    struct Case
    {
        DbKind kind;
        int applicationId;
    };
    for (const Case c :
         {Case{DbKind::Attend, AttendApplicationId}, Case{DbKind::Sysdat, SysdatApplicationId}}) {
        auto db = OpenDatabaseFile(templatePath(c.kind), c.kind);
        TStatement id = db->Prepare(QStringLiteral("PRAGMA application_id"));
        ASSERT_TRUE(id.Step());
        EXPECT_EQ(id.ColumnInt64(0), c.applicationId);
        TStatement version = db->Prepare(QStringLiteral("PRAGMA user_version"));
        ASSERT_TRUE(version.Step());
        EXPECT_EQ(version.ColumnInt64(0), SchemaVersion);
        // A template is one self-contained file: no write-ahead log to copy along.
        TStatement journal = db->Prepare(QStringLiteral("PRAGMA journal_mode"));
        ASSERT_TRUE(journal.Step());
        EXPECT_EQ(journal.ColumnText(0), QStringLiteral("delete"));
    }
}

class TemplateRows : public TempDataTest
{
};

TEST_F(TemplateRows, ReaderTableHoldsEightPortsWithSafeDefaults)
{
    TDataSet &reader = Data().Dsrc().reader;
    reader.Open();
    ASSERT_EQ(reader.RecordCount(), 8);
    for (int port = 1; port <= 8; ++port) {
        SCOPED_TRACE(port);
        ASSERT_TRUE(reader.Locate(QStringLiteral("PORTNO"), port));
        EXPECT_FALSE(reader.FieldByName(QStringLiteral("ENABLE")).AsBoolean());
        EXPECT_EQ(reader.FieldByName(QStringLiteral("MODE")).AsInteger(), 0);
        EXPECT_EQ(reader.FieldByName(QStringLiteral("DESC")).AsString(),
                  QStringLiteral("COM%1").arg(port));
        EXPECT_EQ(reader.FieldByName(QStringLiteral("LOCKTIME")).AsInteger(), 1);
        EXPECT_EQ(reader.FieldByName(QStringLiteral("MOTION")).AsInteger(), -1);
        EXPECT_EQ(reader.FieldByName(QStringLiteral("MODEL")).AsInteger(), 0);
        EXPECT_FALSE(reader.FieldByName(QStringLiteral("APB")).AsBoolean());
        EXPECT_FALSE(reader.FieldByName(QStringLiteral("CAPTURE")).AsBoolean());
        const int out = reader.FieldByName(QStringLiteral("OUTPORT")).AsInteger();
        const int bypass = reader.FieldByName(QStringLiteral("BPPORT")).AsInteger();
        EXPECT_TRUE(out >= 0 && out <= 8);
        EXPECT_TRUE(bypass >= 0 && bypass <= 8);
    }
}

TEST_F(TemplateRows, DefaultWorkGroupExistsAndOtherTablesStartEmpty)
{
    Tdsrc &d = Data().Dsrc();
    ASSERT_EQ(d.gidtbl.RecordCount(), 1);
    EXPECT_EQ(d.gidtbl.FieldByName(QStringLiteral("id")).AsInteger(), 1);
    EXPECT_FALSE(d.gidtbl.FieldByName(QStringLiteral("descx")).AsString().isEmpty());
    EXPECT_LT(d.gidtbl.FieldByName(QStringLiteral("WD_FROM_1")).AsDateTime().time(),
              d.gidtbl.FieldByName(QStringLiteral("WD_TO_1")).AsDateTime().time());

    for (TDataSet *ds : {&d.logs, &d.staff, &d.apb, &d.emails, &d.Qiotime}) {
        SCOPED_TRACE(ds->SQL().toStdString());
        EXPECT_EQ(ds->RecordCount(), 0);
    }
    d.pwdtbl.Open();
    EXPECT_TRUE(d.pwdtbl.IsEmpty()); // no password registered
}

TEST_F(TemplateRows, OfflineSourceYieldsCardAndGroupAndIsReadOnly)
{
    Tdsrc &d = Data().Dsrc();
    d.staff.Append();
    d.staff.FieldByName(QStringLiteral("CARDNO")).SetAsInteger(4711);
    d.staff.FieldByName(QStringLiteral("NAME")).SetAsString(QStringLiteral("ALICE"));
    d.staff.FieldByName(QStringLiteral("WORKGRP")).SetAsInteger(1);
    d.staff.Post();

    TDataSet offline(d.src);
    offline.SetSQLLines({QStringLiteral("select * from offline"), QStringLiteral("left join gid"),
                         QStringLiteral("on offline.gid=gid.id"), QStringLiteral("order by"),
                         QStringLiteral("DESCX")});
    offline.Open();
    ASSERT_EQ(offline.RecordCount(), 1);
    EXPECT_EQ(offline.FieldByName(QStringLiteral("CARDNO")).AsInteger(), 4711);
    EXPECT_EQ(offline.FieldByName(QStringLiteral("gid")).AsInteger(), 1);
    EXPECT_EQ(offline.FieldByName(QStringLiteral("DESCX")).AsString(),
              d.gidtbl.FieldByName(QStringLiteral("DESCX")).AsString());
    EXPECT_FALSE(offline.CanModify());
    EXPECT_THROW(offline.Append(), EDatabaseError);

    TDataSet view(d.src, QStringLiteral("select * from offline"));
    view.Open();
    EXPECT_FALSE(view.CanModify()); // a view is never written
}

TEST_F(TemplateRows, IndexesServeTheLookups)
{
    struct Case
    {
        bool attend;
        const char *query;
        const char *index;
    };
    const Case cases[] = {
        {true, "SELECT * FROM recorder ORDER BY SYSTIME", "recorder_systime"},
        {true, "SELECT * FROM recorder WHERE CARDNO = 5 AND SYSTIME = '2026-01-01 10:00:00'",
         "recorder_cardno_systime"},
        {false, "SELECT * FROM staffs WHERE CARDNO = 5", "staffs_cardno"},
        {false, "SELECT * FROM staffs ORDER BY NAME", "staffs_name"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.query);
        TDatabase &db = c.attend ? Data().Dsrc().att : Data().Dsrc().src;
        TStatement plan =
            db.Prepare(QStringLiteral("EXPLAIN QUERY PLAN ") + QString::fromLatin1(c.query));
        QString details;
        while (plan.Step())
            details += plan.ColumnText(3) + QLatin1Char('\n');
        EXPECT_TRUE(details.contains(QString::fromLatin1(c.index))) << details.toStdString();
    }
}
