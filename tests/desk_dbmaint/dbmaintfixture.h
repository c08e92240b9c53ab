#pragma once
// The main window over a fresh data folder with the file dialogs answered by the test, and
// the helpers that make and read database files the way an outside program would: through
// the sqlite3 shell.

#include "../desk_window/windowfixture.h"

#include "store/dbfile.h"
#include "store/paths.h"
#include "testsupport/commandlookup.h"
#include "testsupport/fakefiledialogs.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <gtest/gtest.h>

class DbMaintTest : public WindowTest
{
protected:
    // What the sqlite3 shell prints for the statements on the file ("" when it failed).
    static QString Shell(const QString &file, const QString &sql)
    {
        QProcess p;
        p.start(QStringLiteral("sqlite3"), {QStringLiteral("-batch"), file, sql});
        if (!p.waitForFinished(30000) || p.exitCode() != 0)
            return QString();
        return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
    }
    static QByteArray ReadBytes(const QString &file)
    {
        QFile f(file);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }
    static void WriteBytes(const QString &file, const QByteArray &bytes)
    {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate)) << file.toStdString();
        ASSERT_EQ(f.write(bytes), bytes.size());
    }
    QString Path(const QString &name) const { return QDir(m_data->Dir()).filePath(name); }

    // n log rows, one a minute from 2026-03-02 08:00, cards 1000 to 1049.
    static void FillLog(int n)
    {
        dsrc->att.Exec(
            QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n "
                           "WHERE i < %1) INSERT INTO recorder (SYSTIME, CARDNO, MODE, READER, "
                           "LOCK) SELECT datetime('2026-03-02 08:00:00', (i * 60) || ' seconds'), "
                           "1000 + i % 50, 1, 2, 0 FROM n")
                .arg(n - 1));
        dsrc->logs.Refresh();
    }
    // The log as the shell reads it, one line per row in time order.
    static QString LogRows(const QString &file)
    {
        return Shell(file, QStringLiteral("select SYSTIME, CARDNO, MODE, READER, LOCK from "
                                          "recorder order by SYSTIME, CARDNO"));
    }

    FakeFileDialogs m_dialogs;
};
