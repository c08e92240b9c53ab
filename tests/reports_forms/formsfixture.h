#pragma once
// Report form tests: four people and a week of their swipes over a fresh data folder, the
// clock pinned to Thursday 10 December 2026 at noon, English dates, and every printed label's
// text kept in order.

#include "reports/reportform.h"
#include "store/clock.h"
#include "store/datasrc.h"
#include "testsupport/fakemessages.h"
#include "testsupport/fakereportoutput.h"
#include "testsupport/rows.h"
#include "testsupport/tempdata.h"

#include <QLocale>
#include <QRegularExpression>
#include <utility>
#include <vector>

class FormsTest : public TempDataTest
{
protected:
    void SetUp() override
    {
        TempDataTest::SetUp();
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        PinClock(QDateTime(QDate(2026, 12, 10), QTime(12, 0)));
        m_previousHook = SetLabelTextHook([this](const TReportLabel &label, const QString &text) {
            m_printed.emplace_back(label.Name(), text);
        });
    }
    void TearDown() override
    {
        SetLabelTextHook(m_previousHook);
        PinClock(QDateTime());
        QLocale::setDefault(m_locale);
        TempDataTest::TearDown();
    }

    static void Exec(TDatabase &db, const QString &sql) { db.Exec(sql); }

    // Ann and Bob in "Office", Cy in a group that has no row, Dee in the default group.
    void AddFourPeople()
    {
        m_office = AddGroup(QStringLiteral("Office"));
        AddStaff(11, QStringLiteral("Ann"), m_office, QStringLiteral("Desk 4\r\nFloor 2"));
        AddStaff(12, QStringLiteral("Bob"), m_office);
        AddStaff(13, QStringLiteral("Cy"), 99);
        AddStaff(14, QStringLiteral("Dee"), 1);
    }

    // Ann's Monday 7 December: IN, OUT, IN, OUT and a CLOCK swipe at half past five.
    static void AddAnnsMonday()
    {
        AddLog("2026-12-07 08:00:00", 11, 1);
        AddLog("2026-12-07 12:00:00", 11, 2);
        AddLog("2026-12-07 13:00:00", 11, 1);
        AddLog("2026-12-07 17:00:00", 11, 2);
        AddLog("2026-12-07 17:30:00", 11, 0);
    }

    // The printed texts of the labels of that name, in order.
    QStringList Printed(const QString &name) const
    {
        QStringList texts;
        for (const auto &[label, text] : m_printed)
            if (label == name)
                texts << text;
        return texts;
    }
    void ClearPrinted() { m_printed.clear(); }

    // The PDF's lines with runs of blanks made one and empty lines left out.
    static QStringList Collapsed(const QString &text)
    {
        static const QRegularExpression blanks(QStringLiteral("[ \t]+"));
        QStringList lines;
        for (QString line : text.split(QLatin1Char('\n'))) {
            line = line.replace(blanks, QStringLiteral(" ")).trimmed();
            if (!line.isEmpty())
                lines << line;
        }
        return lines;
    }

    int m_office = 0;
    std::vector<std::pair<QString, QString>> m_printed;

private:
    TLabelTextHook m_previousHook;
    QLocale m_locale;
};
