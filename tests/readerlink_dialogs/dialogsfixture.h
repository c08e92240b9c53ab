#pragma once
// The reader dialogs on a fresh data folder: the desk's eight readers configured from the
// reader table, simulated readers on pseudo-terminals for the ports a test attaches, and a
// device that does not exist for every other port. Main thread.

#include "desk/deskcore.h"
#include "readerlink/reader.h"
#include "store/datasrc.h"
#include "store/settings.h"
#include "testsupport/childlookup.h"
#include "testsupport/fakemessages.h"
#include "testsupport/readersim.h"
#include "testsupport/simports.h"
#include "testsupport/spin.h"
#include "testsupport/tempdata.h"

#include <QWidget>

#include <map>
#include <memory>
#include <string>
#include <vector>

class ReaderDialogTest : public TempDataTest
{
protected:
    void SetUp() override
    {
        TempDataTest::SetUp();
        ASSERT_TRUE(Data().IsValid());
        PointPortsNowhere();
    }

    void TearDown() override
    {
        core.reset();
        for (auto &[port, sim] : sims)
            sim->Stop();
        sims.clear();
        TempDataTest::TearDown();
    }

    ReaderSim &AttachSim(int port) { return AttachSimToPort(sims, port); }

    static void Exec(const QString &sql) { dsrc->src.Exec(sql); }

    static QVariant Scalar(const QString &sql)
    {
        TDataSet q(dsrc->src, sql);
        q.Open();
        return q.IsEmpty() ? QVariant() : q.Field(0).AsVariant();
    }
    static QVariant ReaderValue(int port, const char *field)
    {
        return Scalar(QStringLiteral("SELECT %1 FROM reader WHERE PORTNO=%2")
                          .arg(QString::fromLatin1(field))
                          .arg(port));
    }

    // Sets the desk's readers up from the table as start-up does.
    void StartCore()
    {
        core = std::make_unique<TDeskCore>();
        core->SetupAllReaders();
    }

    FakeMessages messages;
    SimsByPort sims;
    std::unique_ptr<TDeskCore> core;
};
