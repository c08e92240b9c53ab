#pragma once
// A closed scope dialog as the reports read it: a plain widget holding the scope dialogs'
// controls by their object names (date choice, persons, options, working hours, overtime),
// for tests and benchmarks of the report forms without the dialogs' own checks. Main thread.

#include "store/radiogroup.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QDateTimeEdit>
#include <QRadioButton>
#include <QSpinBox>
#include <QWidget>

class ScopeStandIn : public QWidget
{
public:
    ScopeStandIn()
    {
        for (const char *name : {"rball", "rbthisweek", "rblastweek", "rbthismonth", "rblastmonth",
                                 "rbrange", "rballstaff", "rbgroup", "rbstaff"}) {
            auto *b = new QRadioButton(this);
            b->setObjectName(QString::fromLatin1(name));
            b->setAutoExclusive(false);
        }
        for (const char *name :
             {"cbfilo", "cbenhance", "cbblank", "cbnewpage", "cbsat", "cbsat1", "cbsat2"}) {
            auto *b = new QCheckBox(this);
            b->setObjectName(QString::fromLatin1(name));
        }
        for (const char *name :
             {"dpfrom", "dpto", "dtpSTDstart", "dtpSTDend", "dtpSATstart", "dtpSATend",
              "dtpSTDstart1", "dtpSTDend1", "dtpSTDstart2", "dtpSTDend2", "dtpSATstart1",
              "dtpSATend1", "dtpSATstart2", "dtpSATend2"}) {
            auto *e = new QDateTimeEdit(this);
            e->setObjectName(QString::fromLatin1(name));
        }
        for (const char *name : {"seOTmin", "seOTmul", "seOTfree"}) {
            auto *s = new QSpinBox(this);
            s->setRange(-1000, 1000);
            s->setObjectName(QString::fromLatin1(name));
        }
        auto *scope = new TRadioGroup(this);
        scope->setObjectName(QStringLiteral("rgscope"));
        scope->AddItems({QStringLiteral("ALL"), QStringLiteral("CLOCK"), QStringLiteral("IN/OUT")});
        scope->SetItemIndex(2);
        auto *format = new TRadioGroup(this);
        format->setObjectName(QStringLiteral("rgformat"));
        format->AddItems({QStringLiteral(" AM/PMhh:mm:ss"), QStringLiteral(" HH:mm:ss"),
                          QStringLiteral(" AM/PMhh:mm"), QStringLiteral(" HH:mm")});
        format->SetItemIndex(1);
        Check("rballstaff");
        Range("2026-03-02", "2026-03-08"); // Monday to Sunday
    }

    void Check(const char *name, bool on = true)
    {
        findChild<QAbstractButton *>(QString::fromLatin1(name))->setChecked(on);
    }
    void Range(const char *from, const char *to)
    {
        Check("rbrange");
        findChild<QDateTimeEdit *>(QStringLiteral("dpfrom"))
            ->setDateTime(
                QDateTime(QDate::fromString(QString::fromLatin1(from), Qt::ISODate), QTime(0, 0)));
        findChild<QDateTimeEdit *>(QStringLiteral("dpto"))
            ->setDateTime(
                QDateTime(QDate::fromString(QString::fromLatin1(to), Qt::ISODate), QTime(0, 0)));
    }
    void Time(const char *name, int h, int m)
    {
        findChild<QDateTimeEdit *>(QString::fromLatin1(name))
            ->setDateTime(QDateTime(QDate(2026, 3, 2), QTime(h, m)));
    }
    void Spin(const char *name, int v)
    {
        findChild<QSpinBox *>(QString::fromLatin1(name))->setValue(v);
    }
    void Choice(const char *name, int index)
    {
        findChild<TRadioGroup *>(QString::fromLatin1(name))->SetItemIndex(index);
    }
};
