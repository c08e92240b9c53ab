#pragma once
// Shared by the scope dialog tests: a data folder with a few work groups and staff, an empty
// settings section, the message boxes faked and the clock pinned. Main thread only.

#include "store/clock.h"
#include "store/datasrc.h"
#include "testsupport/childlookup.h"
#include "testsupport/fakemessages.h"
#include "testsupport/tempdata.h"

#include <QSettings>
#include <QWidget>
#include <gtest/gtest.h>

inline QSettings Settings()
{
    return QSettings(QStringLiteral("ZUVI"), QStringLiteral("Tallyclock"));
}

inline QString Stored(const char *name)
{
    return Settings().value(QString::fromLatin1(name)).toString();
}

inline void Store(const char *name, const QString &value)
{
    Settings().setValue(QString::fromLatin1(name), value);
}

class ScopeTest : public TempDataTest
{
public:
    // Thursday morning.
    static inline const QDateTime Moment{QDate(2026, 3, 12), QTime(10, 15, 30)};

protected:
    void SetUp() override
    {
        TempDataTest::SetUp();
        ASSERT_TRUE(Data().IsValid());
        PinClock(Moment);
        m_data = &Data().Dsrc();
        // Group 1 comes with the template; names that sort before and after it.
        m_data->src.Exec(QStringLiteral(
            "insert into gid (ID, DESCX, WD_FROM_1, WD_TO_1, WD_FROM_2, WD_TO_2, SAT_ENABLE_1,"
            " SAT_ENABLE_2, SAT_FROM_1, SAT_TO_1, SAT_FROM_2, SAT_TO_2, OT_MIN, OT_MULTI) values"
            " (2, 'Afternoons', '13:00:00', '15:30:00', '16:00:00', '21:45:00', 1, 1,"
            " '08:15:00', '10:00:00', '10:30:00', '12:40:00', 20, 10),"
            " (3, 'Bakers', '05:00:00', '09:00:00', '09:30:00', '13:00:00', 1, 0,"
            " '06:00:00', '11:00:00', '11:30:00', '12:00:00', 30, 15),"
            " (4, 'Cleaners', null, null, null, null, 0, 0, null, null, null, null, 0, 1);"
            "insert into staffs (CARDNO, NAME, WORKGRP) values (11, 'Ann', 2), (12, 'Bob', 3),"
            " (13, 'Cy', 2)"));
        for (TDataSet *ds : {&m_data->staff, &m_data->gidtbl}) {
            ds->Close();
            ds->Open();
        }
    }

    void TearDown() override
    {
        PinClock(QDateTime());
        TempDataTest::TearDown();
    }

    Tdsrc *m_data = nullptr;
    FakeMessages messages;
};
