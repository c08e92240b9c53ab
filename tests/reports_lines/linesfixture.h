#pragma once
// Report line tests: English dates whatever the machine's locale, and records written as text.

#include "reports/reportrecords.h"

#include <QLocale>
#include <gtest/gtest.h>

class EnglishLinesTest : public ::testing::Test
{
protected:
    void SetUp() override { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }
    void TearDown() override { QLocale::setDefault(m_saved); }

private:
    QLocale m_saved;
};

// "2026-12-07 08:00:00" as a record of that card and mode.
inline TReportRecord Rec(const char *stamp, int mode, int card = 1)
{
    QDateTime t =
        QDateTime::fromString(QString::fromLatin1(stamp), QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    t.setTimeSpec(Qt::UTC);
    EXPECT_TRUE(t.isValid()) << stamp;
    return {t, card, mode};
}

inline QString Blanks(int n)
{
    return QString(n, QLatin1Char(' '));
}
