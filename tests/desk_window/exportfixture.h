#pragma once
// A main window for the export commands: English month names, a folder for the files written,
// and the save dialog answered by the test. Main thread only.

#include "windowfixture.h"

#include "testsupport/commandlookup.h"
#include "testsupport/fakefiledialogs.h"

#include <QAction>
#include <QDir>
#include <QLocale>
#include <QTemporaryDir>
#include <gtest/gtest.h>

class ExportWindowTest : public WindowTest
{
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        m_locale = QLocale();
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    }
    void TearDown() override
    {
        WindowTest::TearDown();
        QLocale::setDefault(m_locale);
    }

    QAction *command(const char *name) { return Command(*m_window, name); }
    // The command run logged in, with the save dialog answered by name (empty: Cancel).
    void run(const char *name, const QString &fileName)
    {
        if (fileName.isEmpty())
            m_dialogs.QueueCancel();
        else
            m_dialogs.QueueName(fileName);
        m_window->SetLoggedIn(true);
        command(name)->trigger();
    }
    QString file(const QString &name) const { return QDir(m_out.path()).filePath(name); }
    QString file(const char *name) const { return file(QString::fromUtf8(name)); }
    // Every file in the folder, hidden ones too.
    QStringList written() const { return QDir(m_out.path()).entryList(QDir::Files | QDir::Hidden); }

    FakeFileDialogs m_dialogs;
    QTemporaryDir m_out;
    QLocale m_locale;
};
