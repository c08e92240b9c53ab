// The data folder as the program prepares it: a folder it makes, the live databases it copies
// from the templates and the logs SQLite keeps beside them are its user's alone; a folder the
// user made keeps the mode the user gave it.

#include "store/db/sqlitedb.h"
#include "store/dbfile.h"
#include "store/paths.h"
#include "testsupport/tempdata.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

unsigned modeOf(const QString &path)
{
    struct stat st = {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return 0;
    return st.st_mode & 0777u;
}

TEST(DataFolder, WhatTheProgramMakesIsItsUsersAlone)
{
    QTemporaryDir root;
    struct Case
    {
        const char *name;
        bool userMade;
        unsigned folderMode; // expected
    } cases[] = {{"made by the program", false, 0700}, {"made by the user", true, 0755}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const QString data = root.filePath(QString::fromLatin1(c.name));
        if (c.userMade) {
            ASSERT_TRUE(QDir().mkdir(data));
            ASSERT_EQ(::chmod(QFile::encodeName(data).constData(), 0755), 0);
        }
        QString error;
        ASSERT_TRUE(PrepareDataFolder(TempData::TemplateDir(), data, &error))
            << error.toStdString();
        EXPECT_EQ(modeOf(data), c.folderMode);
        const QString attend = QDir(data).filePath(QStringLiteral("attend.db"));
        const QString sysdat = QDir(data).filePath(QStringLiteral("sysdat.db"));
        for (const QString &file : {attend, sysdat})
            EXPECT_EQ(modeOf(file), 0600u) << file.toStdString();
        // The logs SQLite makes beside a database take the database's mode.
        TDatabase db;
        db.Open(attend, DbKind::Attend);
        db.Exec(QStringLiteral("INSERT INTO recorder (SYSTIME, CARDNO, MODE, READER, LOCK) "
                               "VALUES ('2026-03-09 08:00:00', 1, 1, 1, 0)"));
        for (const char *suffix : {"-wal", "-shm"}) {
            ASSERT_TRUE(QFileInfo::exists(attend + QLatin1String(suffix))) << suffix;
            EXPECT_EQ(modeOf(attend + QLatin1String(suffix)), 0600u) << suffix;
        }
    }
}

} // namespace
