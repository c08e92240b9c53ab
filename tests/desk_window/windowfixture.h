#pragma once
// A main window over a fresh data folder, with the message boxes answered by the test and Qt's
// model tester watching the log grid's model for as long as the window is open.

#include "desk/deskcore.h"
#include "desk/loggridmodel.h"
#include "desk/timerec.h"
#include "store/datasrc.h"
#include "store/logrow.h"
#include "testsupport/fakemessages.h"
#include "testsupport/modelcheck.h"
#include "testsupport/rows.h"
#include "testsupport/tempdata.h"

#include <QDateTime>
#include <QLabel>
#include <QString>
#include <QTest>
#include <memory>

class WindowTest : public TempDataTest
{
protected:
    void SetUp() override
    {
        TempDataTest::SetUp();
        m_messages = std::make_unique<FakeMessages>();
    }
    void TearDown() override
    {
        CloseWindow();
        m_messages.reset();
        TempDataTest::TearDown();
    }

    TTimeRec &OpenWindow()
    {
        CloseWindow();
        m_window = std::make_unique<TTimeRec>();
        m_modelCheck = std::make_unique<ModelContractCheck>(m_window->LogModel());
        return *m_window;
    }
    void CloseWindow()
    {
        m_modelCheck.reset();
        m_window.reset();
    }
    FakeMessages &Messages() { return *m_messages; }
    // The window with an administrator logged in, so that the protected commands run.
    TTimeRec &OpenLoggedIn()
    {
        TTimeRec &w = OpenWindow();
        w.SetLoggedIn(true);
        return w;
    }

    // The window shown, with its own tick stopped so the test decides when the schedule is read.
    TTimeRec &OpenShown()
    {
        TTimeRec &w = OpenWindow();
        w.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&w));
        w.Core()->StopTimers();
        return w;
    }
    static QLabel *Panel(TTimeRec &w) { return w.findChild<QLabel *>(QStringLiteral("iopanel")); }

    static int Count(TDatabase &db, const QString &table)
    {
        TStatement st = db.Prepare(QStringLiteral("select count(*) from ") + table);
        st.Step();
        return int(st.ColumnInt64(0));
    }

    std::unique_ptr<FakeMessages> m_messages;
    std::unique_ptr<TTimeRec> m_window;
    std::unique_ptr<ModelContractCheck> m_modelCheck;
};
