#include "store/combofill.h"
#include "store/datasrc.h"
#include "store/dbfile.h"
#include "store/passwd.h"
#include "store/readerdesc.h"
#include "store/scopeform.h"
#include "store/utils.h"
#include "testsupport/fakemessages.h"
#include "testsupport/tempdata.h"

#include <QComboBox>
#include <QRadioButton>
#include <QWidget>
#include <gtest/gtest.h>
#include <memory>
#include <thread>

namespace {

// Texts that would break SQL spliced together from them.
const QString HostileName = QString::fromUtf8("O'Brien; drop table staffs -- %_\"");
const QString HostileGroup = QString::fromUtf8("R&D; 'lab' %");

// A fresh data folder with a few groups and staff added to the template's.
class LookupTest : public TempDataTest
{
protected:
    void SetUp() override
    {
        TempDataTest::SetUp();
        ASSERT_TRUE(Data().IsValid());
        m_data = &Data().Dsrc();
        m_path = Data().SysdatPath();
        TDatabase &db = m_data->src;
        db.Exec(QString::fromUtf8("insert into gid (ID, DESCX) values (2, 'Night shift'),"
                                  " (4, 'Zéta')"));
        TStatement g = db.Prepare(QStringLiteral("insert into gid (ID, DESCX) values (3, ?)"));
        g.Bind(1, HostileGroup);
        g.Step();
        struct Staff
        {
            int card;
            QString name;
            int group;
            bool picked;
        } staff[] = {
            {1001, QStringLiteral("Bob"), 1, true},
            {1002, QStringLiteral("Alice"), 2, false},
            {1003, QStringLiteral("alice"), 2, true},
            {1004, QStringLiteral("Albert"), 3, false},
            {1005, HostileName, 3, true},
            {1006, QStringLiteral("Ghost"), 77, false}, // a group that does not exist
        };
        TStatement s = db.Prepare(QStringLiteral(
            "insert into staffs (CARDNO, NAME, WORKGRP, PICKED) values (?, ?, ?, ?)"));
        for (const Staff &row : staff) {
            s.Bind(1, row.card);
            s.Bind(2, row.name);
            s.Bind(3, row.group);
            s.Bind(4, row.picked);
            s.Step();
            s.Reset();
        }
        for (TDataSet *ds : {&m_data->staff, &m_data->gidtbl, &m_data->reader}) {
            ds->Close();
            ds->Open();
        }
    }

    Tdsrc *m_data = nullptr;
    QString m_path;
};

TEST_F(LookupTest, StaffByCard)
{
    struct Row
    {
        int card;
        bool found;
        QString name, group;
    } rows[] = {
        {1002, true, QStringLiteral("Alice"), QStringLiteral("Night shift")},
        {1001, true, QStringLiteral("Bob"), QStringLiteral("DEFAULT")},
        {1005, true, HostileName, HostileGroup},
        {-1, false, QStringLiteral("[-1]"), QString()}, // an exit-button row
        {424242, false, QStringLiteral("[424242]"), QString()},
        {1006, false, QStringLiteral("[1006]"), QString()}, // its group is gone
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.card);
        TStaffRec rec{QStringLiteral("stale"), QStringLiteral("stale")};
        EXPECT_EQ(GetStaffByCard(r.card, rec), r.found);
        EXPECT_EQ(rec.Name, r.name);
        EXPECT_EQ(rec.GroupName, r.group);
    }
}

TEST_F(LookupTest, StaffByCardOnAWebThreadsOwnConnection)
{
    TStaffRec found, missing;
    bool foundOk = false, missingOk = true;
    std::thread web([&] {
        std::unique_ptr<TDatabase> db = OpenDatabaseFile(m_path, DbKind::Sysdat);
        foundOk = GetStaffByCard(*db, 1004, found);
        missingOk = GetStaffByCard(*db, -1, missing);
    });
    web.join();
    EXPECT_TRUE(foundOk);
    EXPECT_EQ(found.Name, QStringLiteral("Albert"));
    EXPECT_EQ(found.GroupName, HostileGroup);
    EXPECT_FALSE(missingOk);
    EXPECT_EQ(missing.Name, QStringLiteral("[-1]"));
}

TEST_F(LookupTest, CardByNameIsAPartialCaseSensitiveMatchInNameOrder)
{
    struct Row
    {
        QString prefix;
        int card;
    } rows[] = {
        {QStringLiteral("Al"), 1004}, // Albert comes before Alice
        {QStringLiteral("Ali"), 1002}, {QStringLiteral("ali"), 1003},
        {QStringLiteral("ALI"), 0},    {QStringLiteral("Bob"), 1001},
        {QStringLiteral("Bobby"), 0},  {QStringLiteral("O'Brien; drop"), 1005},
        {QStringLiteral("%"), 0}, // no pattern characters
        {QStringLiteral("_"), 0},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.prefix.toStdString());
        EXPECT_EQ(FindCardByName(r.prefix), r.card);
        if (r.card) {
            // The staff cursor stands on the found row.
            EXPECT_EQ(dsrc->staff.FieldByName(QStringLiteral("CARDNO")).AsInteger(), r.card);
        }
    }
}

TEST_F(LookupTest, GroupNameAndIdAreExactLookups)
{
    struct Row
    {
        int id;
        QString name;
    } rows[] = {
        {1, QStringLiteral("DEFAULT")},
        {2, QStringLiteral("Night shift")},
        {3, HostileGroup},
        {4, QString::fromUtf8("Zéta")},
    };
    for (const Row &r : rows) {
        QString text = QStringLiteral("stale");
        GetGroupName(r.id, text);
        EXPECT_EQ(text, r.name) << r.id;
        EXPECT_EQ(GetGroupId(r.name), r.id) << r.name.toStdString();
    }
    QString text = QStringLiteral("stale");
    GetGroupName(99, text);
    EXPECT_TRUE(text.isEmpty());
    for (const char *name : {"night shift", "Night", "", "DEFAULT ", "Zeta", "ZÉTA", "%"})
        EXPECT_EQ(GetGroupId(QString::fromUtf8(name)), 0) << name;
}

TEST_F(LookupTest, GroupComboSelectsTheGroupOfTheId)
{
    QComboBox combo;
    combo.addItem(QStringLiteral("left over"));
    struct Row
    {
        int id;
        int index;
    } rows[] = {{3, 2}, {1, 0}, {4, 3}, {2, 1}, {0, 0}, {99, -1}, {-1, -1}};
    for (const Row &r : rows) {
        SCOPED_TRACE(r.id);
        FillGroupCombo(&combo, r.id);
        ASSERT_EQ(combo.count(), 4);
        // By name, as the database sorts them.
        EXPECT_EQ(combo.itemText(0), QStringLiteral("DEFAULT"));
        EXPECT_EQ(combo.itemText(1), QStringLiteral("Night shift"));
        EXPECT_EQ(combo.itemText(2), HostileGroup);
        EXPECT_EQ(combo.itemText(3), QString::fromUtf8("Zéta"));
        EXPECT_EQ(combo.currentIndex(), r.index);
    }
}

TEST_F(LookupTest, ComboFromQueryLastMatchingRowWinsAndEmptyResultSelectsNothing)
{
    QComboBox combo;
    FillComboFromQuery(&combo, QStringLiteral("NAME"), 2, QStringLiteral("WORKGRP"),
                       QStringLiteral("select * from staffs order by CARDNO"));
    ASSERT_EQ(combo.count(), 6);
    EXPECT_EQ(combo.currentText(), QStringLiteral("alice")); // 1003, the last of group 2

    FillComboFromQuery(&combo, QStringLiteral("NAME"), 0, QStringLiteral("WORKGRP"),
                       QStringLiteral("select * from staffs where CARDNO < 0"));
    EXPECT_EQ(combo.count(), 0);
    EXPECT_EQ(combo.currentIndex(), -1);

    EXPECT_THROW(FillComboFromQuery(&combo, QStringLiteral("NOSUCH"), 0, QStringLiteral("ID"),
                                    QStringLiteral("select * from gid")),
                 EDatabaseError);
}

struct DescriptionsScope
{
    explicit DescriptionsScope(const IReaderDescriptions *source)
        : previous(SetReaderDescriptions(source))
    {
    }
    ~DescriptionsScope() { SetReaderDescriptions(previous); }
    const IReaderDescriptions *previous;
};

class Doors : public IReaderDescriptions
{
public:
    QString Desc(int port) const override { return QStringLiteral("Door %1").arg(port); }
};

TEST_F(LookupTest, ReaderDescFromTheTableElseThePortName)
{
    m_data->src.Exec(QStringLiteral("update reader set DESC='Front door' where PORTNO=2;"
                                    "delete from reader where PORTNO=5;"));
    m_data->reader.Close();
    m_data->reader.Open();
    Doors doors;
    DescriptionsScope scope(&doors);
    struct Row
    {
        int port;
        const char *desc;
    } rows[] = {
        {2, "Front door"}, {1, "COM1"},  {5, "Door 5"}, // no row for 5: the reader's own
        {0, "DENIED"},     {9, "ERROR"}, {-3, "ERROR"},
    };
    for (const Row &r : rows)
        EXPECT_EQ(GetReaderDesc(r.port), QString::fromLatin1(r.desc)) << r.port;
}

// A scope form as the report dialogs have it.
struct ScopeForm
{
    ScopeForm()
    {
        all->setObjectName(QStringLiteral("rballstaff"));
        group->setObjectName(QStringLiteral("rbgroup"));
        picked->setObjectName(QStringLiteral("rbpicked"));
        groups->setObjectName(QStringLiteral("cbgroup"));
        groups->addItems({QStringLiteral("DEFAULT"), QStringLiteral("Night shift"), HostileGroup});
    }
    QWidget form;
    QRadioButton *all = new QRadioButton(&form);
    QRadioButton *group = new QRadioButton(&form);
    QRadioButton *picked = new QRadioButton(&form);
    QComboBox *groups = new QComboBox(&form);
};

QStringList namesOf(TDataSet &q)
{
    QStringList names;
    for (q.First(); !q.Eof(); q.Next())
        names << q.FieldByName(QStringLiteral("NAME")).AsString();
    return names;
}

TEST_F(LookupTest, StaffScopeQueryFollowsTheFormsChoice)
{
    FakeMessages messages;
    ScopeForm scope;
    TDataSet query(m_data->src);

    scope.all->setChecked(true);
    ASSERT_TRUE(BuildStaffScopeQuery(query, &scope.form));
    // Everyone by name, with the group's name beside (none for a lost group).
    EXPECT_EQ(namesOf(query),
              (QStringList{QStringLiteral("Albert"), QStringLiteral("Alice"), QStringLiteral("Bob"),
                           QStringLiteral("Ghost"), HostileName, QStringLiteral("alice")}));
    query.First();
    EXPECT_EQ(query.FieldByName(QStringLiteral("descx")).AsString(), HostileGroup);

    scope.group->setChecked(true);
    scope.groups->setCurrentIndex(1);
    ASSERT_TRUE(BuildStaffScopeQuery(query, &scope.form));
    EXPECT_EQ(namesOf(query), (QStringList{QStringLiteral("Alice"), QStringLiteral("alice")}));
    scope.groups->setCurrentIndex(2);
    ASSERT_TRUE(BuildStaffScopeQuery(query, &scope.form));
    EXPECT_EQ(namesOf(query), (QStringList{QStringLiteral("Albert"), HostileName}));

    scope.picked->setChecked(true);
    ASSERT_TRUE(BuildStaffScopeQuery(query, &scope.form));
    // The picked members in the table's own order.
    EXPECT_EQ(namesOf(query),
              (QStringList{QStringLiteral("Bob"), QStringLiteral("alice"), HostileName}));
    EXPECT_EQ(messages.Count(), 0);
}

TEST_F(LookupTest, StaffScopeQueryReportsADatabaseError)
{
    FakeMessages messages;
    ScopeForm scope;
    scope.all->setChecked(true);
    TDatabase closed;
    TDataSet query(closed);
    EXPECT_FALSE(BuildStaffScopeQuery(query, &scope.form));
    ASSERT_EQ(messages.Count(), 1);
    EXPECT_EQ(messages.Last().text, QStringLiteral("Database Error."));
    EXPECT_EQ(messages.Last().kind, MsgKind::Error);
    EXPECT_FALSE(query.Active());
}

TEST_F(LookupTest, PasswordEmptyUntilARowExistsAndTheTableIsLeftAsFound)
{
    EXPECT_FALSE(m_data->pwdtbl.Active());
    EXPECT_TRUE(IsPasswordEmpty());
    EXPECT_FALSE(m_data->pwdtbl.Active());

    // An empty password is still a registered one.
    m_data->src.Exec(QStringLiteral("insert into passwd (PASSWORD) values ('')"));
    EXPECT_FALSE(IsPasswordEmpty());

    m_data->pwdtbl.Open();
    EXPECT_FALSE(IsPasswordEmpty());
    EXPECT_TRUE(m_data->pwdtbl.Active());
}

} // namespace
