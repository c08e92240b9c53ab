// The program's own files as the file a command writes or restores from: every export, workbook
// and backup refuses them before anything is written, and a restore or an import refuses a
// file whose schema is not the template's, with the live files left byte for byte.

#include "dbmaintfixture.h"

#include "reports/setscope.h"
#include "store/settings.h"

#include <QCheckBox>

#include <functional>

namespace {

class FileTargetTest : public DbMaintTest
{
protected:
    // The live files and the templates, read with the databases closed.
    QMap<QString, QByteArray> programFiles()
    {
        QMap<QString, QByteArray> bytes;
        for (const QString &f : {Data().AttendPath(), Data().SysdatPath(),
                                 QDir(AppPath).filePath(AttendTemplateName()),
                                 QDir(AppPath).filePath(SysdatTemplateName())})
            bytes.insert(f, ReadBytes(f));
        return bytes;
    }
    // Confirms the scope form as it opens, one sheet per member when asked.
    void answerScopes(TTimeRec &w, bool sheetPerMember)
    {
        w.SetDialogRunner([sheetPerMember](QDialog &dialog) {
            auto *scope = qobject_cast<TSetScope *>(&dialog);
            if (!scope) {
                ADD_FAILURE() << "a dialog other than the scope form";
                return int(QDialog::Rejected);
            }
            scope->cbnewpage->setChecked(sheetPerMember);
            scope->Button1Click();
            return scope->result();
        });
    }
};

TEST_F(FileTargetTest, EveryCommandThatWritesAChosenFileRefusesTheProgramsOwn)
{
    struct Writer
    {
        const char *name;
        const char *action;
        bool sheetPerMember; // the per-member workbook
    };
    const Writer writers[] = {
        {"Export to Text File", "acttext", false},
        {"Export to Excel File", "actexcel", false},
        {"Time Logs", "actexpfix", false},
        {"Time Logs, a sheet per member", "actexpfix", true},
        {"First In Last Out", "actexpfilo", false},
        {"IN OUT pairs", "actAllinout", false},
        {"Late and Early Leave", "actAttnPairs", true},
        {"Backup Log Database", "actBupLogs", false},
        {"Backup System Database", "actBupSys", false},
    };
    FillLog(300);
    AddStaff(1000, QStringLiteral("Alice"), 1);
    QDir(m_data->Dir()).mkdir(QStringLiteral("sub"));
    ASSERT_TRUE(QFile::link(Data().AttendPath(), Path(QStringLiteral("sub/log.xlsx"))));
    ASSERT_TRUE(QFile::link(Data().SysdatPath() + QStringLiteral("-journal"),
                            Path(QStringLiteral("sub/later.txt"))));
    const QString targets[] = {
        Data().AttendPath(),
        Data().AttendPath() + QStringLiteral("-wal"),
        Data().AttendPath() + QStringLiteral("-shm"),
        Data().SysdatPath(),
        Data().SysdatPath() + QStringLiteral("-wal"),
        Path(QStringLiteral("sub/./../sysdat.db-shm")),
        QDir(AppPath).filePath(AttendTemplateName()),
        QDir(AppPath).filePath(SysdatTemplateName()),
        Path(QStringLiteral("sub/log.xlsx")),  // a link to the live log
        Path(QStringLiteral("sub/later.txt")), // a link to a journal not made yet
    };
    m_data->CloseDatabases();
    const QMap<QString, QByteArray> before = programFiles();
    m_data->ReopenDatabases();

    TTimeRec &w = OpenLoggedIn();
    for (const Writer &c : writers) {
        for (const QString &target : targets) {
            SCOPED_TRACE(std::string(c.name) + " over " + target.toStdString());
            answerScopes(w, c.sheetPerMember);
            Messages().Clear();
            m_dialogs.QueueName(target);
            Command(w, c.action)->trigger();
            EXPECT_EQ(m_dialogs.PendingAnswers(), 0);
            EXPECT_EQ(Messages().Texts(),
                      QStringList{QStringLiteral("Operation failed. Please retry!")});
            EXPECT_TRUE(dsrc->logs.Active());
            EXPECT_FALSE(w.LongWorkRunning());
        }
    }
    EXPECT_FALSE(QFileInfo::exists(Data().SysdatPath() + QStringLiteral("-journal")));
    EXPECT_EQ(QDir(m_data->Dir()).entryList({QStringLiteral(".*.*")}, QDir::Hidden | QDir::Files),
              QStringList());
    CloseWindow();
    m_data->CloseDatabases();
    EXPECT_TRUE(programFiles() == before);
    m_data->ReopenDatabases();
    // The desk starts on them as before.
    OpenWindow();
    EXPECT_EQ(dsrc->logs.RecordCount(), 300);
    EXPECT_EQ(Count(dsrc->src, QStringLiteral("staffs")), 1);
}

TEST_F(FileTargetTest, RestoreAndImportsRefuseAFileWithASchemaOfItsOwn)
{
    struct Case
    {
        const char *name;
        const char *action;
        DbKind kind;
        const char *sql;
    };
    const Case cases[] = {
        {"log restore, a trigger that deletes every swipe", "actRstLogs", DbKind::Attend,
         "CREATE TRIGGER wipe AFTER INSERT ON recorder BEGIN DELETE FROM recorder "
         "WHERE rowid = new.rowid; END;"},
        {"log restore, the log as a view", "actRstLogs", DbKind::Attend,
         "DROP TABLE recorder; CREATE VIEW recorder AS SELECT '2026-01-01 08:00:00' AS SYSTIME, "
         "1 AS CARDNO, 1 AS MODE, 1 AS READER, 0 AS LOCK;"},
        {"system restore, a trigger that grants rights back", "actRstSys", DbKind::Sysdat,
         "CREATE TRIGGER grant_back AFTER UPDATE ON staffs BEGIN UPDATE staffs SET COM1 = 1 "
         "WHERE SEQ = new.SEQ; END;"},
        {"system restore, an index missing", "actRstSys", DbKind::Sysdat, "DROP INDEX apb_cardno;"},
        {"log import, a table of its own", "actImportLog", DbKind::Attend, "CREATE TABLE x (y);"},
        {"staff import, a trigger of its own", "actImportSys", DbKind::Sysdat,
         "CREATE TRIGGER t AFTER INSERT ON gid BEGIN DELETE FROM staffs; END;"},
    };
    FillLog(40);
    AddStaff(1000, QStringLiteral("Alice"), 1);
    m_data->CloseDatabases();
    const QByteArray attend = ReadBytes(Data().AttendPath());
    const QByteArray sysdat = ReadBytes(Data().SysdatPath());
    m_data->ReopenDatabases();
    TTimeRec &w = OpenLoggedIn();
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const QString file = Path(QStringLiteral("other.db"));
        QFile::remove(file);
        ASSERT_TRUE(QFile::copy(
            c.kind == DbKind::Sysdat ? Data().SysdatPath() : Data().AttendPath(), file));
        QFile::setPermissions(file, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        ASSERT_EQ(Shell(file, QStringLiteral("PRAGMA journal_mode=DELETE; ") +
                                  QString::fromLatin1(c.sql)),
                  QStringLiteral("delete"));
        Messages().Clear();
        m_dialogs.QueueName(file);
        Command(w, c.action)->trigger();
        EXPECT_EQ(Messages().Texts(), QStringList{QStringLiteral("Invalid Database")});
        EXPECT_EQ(dsrc->logs.RecordCount(), 40);
        EXPECT_EQ(Count(dsrc->src, QStringLiteral("staffs")), 1);
    }
    CloseWindow();
    m_data->CloseDatabases();
    EXPECT_TRUE(ReadBytes(Data().AttendPath()) == attend);
    EXPECT_TRUE(ReadBytes(Data().SysdatPath()) == sysdat);
    m_data->ReopenDatabases();
}

} // namespace
