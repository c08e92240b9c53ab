// The printouts against bare work on the same rows, measured side by side in one run:
// - time logs of 500 staff over one year (730,000 records): composing the report (queries,
//   lines and layout) against a bare per-card read of the same rows with each time formatted;
//   writing the composed report as a PDF against drawing the same lines into a QPdfWriter;
// - who's in or out for 10,000 staff with 40,000 records that day, composed, against the
//   day's query by card and time plus one pass over the staff;
// - the member list of 10,000 staff with photos, composed, against a bare query of the four
//   printed columns.
//
// Usage: bench_reports_forms [--rounds=N] (default 3)

#include "reportlines.h"
#include "reports/dlgstaffs.h"
#include "reports/memlist.h"
#include "reports/qrlog.h"
#include "reports/qrwho.h"
#include "reports/scopeparts.h"
#include "reports/setscope.h"
#include "reports/whoscope.h"
#include "store/datasrc.h"
#include "store/jpegcodec.h"
#include "store/radiogroup.h"
#include "store/utils.h"
#include "testsupport/benchsupport.h"
#include "testsupport/tempdata.h"

#include <QDateTimeEdit>
#include <QImage>
#include <QRadioButton>
#include <QTemporaryDir>

#include <cstdio>
#include <cstring>
#include <vector>

namespace {

const QDate FirstDay(2025, 1, 1);

void addStaff(Tdsrc &data, int count, const QByteArray &photo)
{
    TTransaction t(data.src);
    TStatement s = data.src.Prepare(QStringLiteral(
        "insert into staffs (CARDNO, NAME, WORKGRP, MEMO, PHOTO) values (?, ?, 1, ?, ?)"));
    for (int i = 1; i <= count; ++i) {
        s.Bind(1, i);
        s.Bind(2, QStringLiteral("Staff %1").arg(i, 5, 10, QChar(u'0')));
        s.Bind(3, QStringLiteral("Desk %1\r\nFloor %2").arg(i % 40).arg(i % 7));
        if (photo.isEmpty())
            s.Bind(4, QVariant());
        else
            s.Bind(4, photo);
        s.Step();
        s.Reset();
    }
    t.Commit();
}

// Four swipes a day per person: IN, OUT, IN, OUT.
void addSwipes(Tdsrc &data, int staff, int days)
{
    TTransaction t(data.att);
    TStatement s = data.att.Prepare(
        QStringLiteral("insert into recorder (SYSTIME, CARDNO, MODE, READER) values (?, ?, ?, 1)"));
    for (int d = 0; d < days; ++d) {
        const QString day = FirstDay.addDays(d).toString(Qt::ISODate);
        for (int i = 1; i <= staff; ++i) {
            const QString times[] = {QStringLiteral(" 08:%1:00").arg(i % 60, 2, 10, QChar(u'0')),
                                     QStringLiteral(" 12:00:00"), QStringLiteral(" 13:00:00"),
                                     QStringLiteral(" 17:%1:30").arg(i % 60, 2, 10, QChar(u'0'))};
            for (int k = 0; k < 4; ++k) {
                s.Bind(1, day + times[k]);
                s.Bind(2, i);
                s.Bind(3, k % 2 == 0 ? 1 : 2);
                s.Step();
                s.Reset();
            }
        }
    }
    t.Commit();
}

// Per card, that card's rows of the period in time order, each time formatted.
double bareLogReadMs(int staff, const QDate &from, const QDate &to, size_t &formatted)
{
    formatted = 0;
    return MsOf([&] {
        TStatement s = dsrc->att.Prepare(
            QStringLiteral("select SYSTIME, MODE from recorder where CARDNO=? and SYSTIME >= ? "
                           "and SYSTIME < ? order by SYSTIME"));
        const QString lo = from.toString(Qt::ISODate);
        const QString hi = to.addDays(1).toString(Qt::ISODate);
        for (int card = 1; card <= staff; ++card) {
            s.Bind(1, card);
            s.Bind(2, lo);
            s.Bind(3, hi);
            while (s.Step()) {
                const QDateTime t = QDateTime::fromString(s.ColumnText(0), Qt::ISODate);
                formatted += t.toString(QStringLiteral(" HH:mm:ss")).size() > 0;
            }
            s.Reset();
        }
    });
}

void timeLogs(int rounds)
{
    constexpr int Staff = 500;
    constexpr int Days = 365;
    TempData data;
    std::printf("time logs: filling %d staff, %d log rows...\n", Staff, Staff * Days * 4);
    addStaff(data.Dsrc(), Staff, QByteArray());
    addSwipes(data.Dsrc(), Staff, Days);
    const QDate last = FirstDay.addDays(Days - 1);
    TSetScope scope;
    scope.dates->rbrange->click();
    scope.dates->dpfrom->setDate(FirstDay);
    scope.dates->dpto->setDate(last);
    scope.rgformat->SetItemIndex(1);
    QTemporaryDir dir;

    std::vector<double> compose, bareRead, pdf, bareDraw;
    PrintedLines lines;
    for (int r = 0; r <= rounds; ++r) { // round 0 warms up
        Tqrlog report;
        report.SetupFromScope(scope.Scope());
        double ms;
        if (r == 0) {
            PrintedLinesRecorder recorder(lines);
            ms = MsOf([&] { report.Prepare(); });
            std::printf("one year: %zu printed lines, %d pages\n", lines.texts.size(),
                        report.PageCount());
        } else {
            ms = MsOf([&] { report.Prepare(); });
        }
        const double pdfMs =
            MsOf([&] { report.ExportPdf(dir.filePath(QStringLiteral("ours.pdf"))); });
        size_t formatted = 0;
        const double readMs = bareLogReadMs(Staff, FirstDay, last, formatted);
        const double drawnMs = DrawLinesMs(lines, dir.filePath(QStringLiteral("bare.pdf")),
                                           {21, 173, 24, 281, 4.2, 7});
        if (r == 0)
            continue;
        compose.push_back(ms);
        pdf.push_back(pdfMs);
        bareRead.push_back(readMs);
        bareDraw.push_back(drawnMs);
    }
    PrintRatio("Time Logs 500 staff x 1 year: composing (queries, lines, layout)",
               "per-card read of the same rows, each time formatted", compose, bareRead, 5);
    PrintRatio("Time Logs 500 staff x 1 year: ExportPdf of the composed report",
               "drawText of the same lines into QPdfWriter", pdf, bareDraw, 2);
}

void whosInAndMemberList(int rounds)
{
    constexpr int Staff = 10000;
    TempData data;
    QImage photo(240, 320, QImage::Format_RGB888);
    photo.fill(Qt::darkCyan);
    const QByteArray jpeg = EncodeJpeg(photo);
    std::printf("who's in / member list: filling %d staff with %lld-byte photos, %d log rows...\n",
                Staff, static_cast<long long>(jpeg.size()), Staff * 4);
    addStaff(data.Dsrc(), Staff, jpeg);
    addSwipes(data.Dsrc(), Staff, 1);

    Twhoscope who;
    who.dpfrom->setDate(FirstDay);
    who.rgformat->SetItemIndex(1);
    std::vector<double> ours, bare;
    for (int r = 0; r <= rounds; ++r) {
        Tqrwhos report;
        report.SetupFromScope(who.Scope());
        const double ms = MsOf([&] { report.Prepare(); });
        const double bareMs = MsOf([&] {
            TStatement day = dsrc->att.Prepare(
                QStringLiteral("select CARDNO, SYSTIME, MODE from recorder where SYSTIME >= ? "
                               "and SYSTIME < ? order by CARDNO, SYSTIME desc"));
            day.Bind(1, FirstDay.toString(Qt::ISODate));
            day.Bind(2, FirstDay.addDays(1).toString(Qt::ISODate));
            qint64 sum = 0;
            while (day.Step())
                sum += day.ColumnInt64(0) + day.ColumnText(1).size() + day.ColumnInt64(2);
            TStatement staff =
                dsrc->src.Prepare(QStringLiteral("select CARDNO, NAME from staffs order by NAME"));
            while (staff.Step())
                sum += staff.ColumnInt64(0) + staff.ColumnText(1).size();
            if (sum == 42)
                std::printf(" ");
        });
        if (r == 0) {
            std::printf("who's in: %d pages\n", report.PageCount());
            continue;
        }
        ours.push_back(ms);
        bare.push_back(bareMs);
    }
    PrintRatio("Who's IN / OUT 10,000 staff, 40,000 records that day: composing",
               "the day's query by card and time plus one pass over the staff", ours, bare, 10);

    TdlgStaffs staffs;
    ours.clear();
    bare.clear();
    for (int r = 0; r <= rounds; ++r) {
        TrptListMem report;
        const double ms = MsOf([&] {
            report.OpenStaff(staffs.Scope());
            report.Prepare();
        });
        const double bareMs = MsOf([&] {
            TStatement q = dsrc->src.Prepare(
                QStringLiteral("select CARDNO, NAME, descx, MEMO from staffs left join gid on "
                               "staffs.workgrp=gid.id order by NAME"));
            qint64 sum = 0;
            while (q.Step())
                sum += q.ColumnText(0).size() + q.ColumnText(1).size() + q.ColumnText(2).size() +
                       q.ColumnText(3).size();
            if (sum == 42)
                std::printf(" ");
        });
        if (r == 0) {
            std::printf("member list: %d pages\n", report.PageCount());
            continue;
        }
        ours.push_back(ms);
        bare.push_back(bareMs);
    }
    PrintRatio("Member List 10,000 staff with photos: composing",
               "a bare query of the four printed columns", ours, bare, 3);
}

} // namespace

int main(int argc, char **argv)
{
    int rounds = 3;
    bool logs = true, others = true;
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], "--rounds=", 9) == 0)
            rounds = std::atoi(argv[i] + 9);
        else if (std::strcmp(argv[i], "--logs") == 0)
            others = false;
        else if (std::strcmp(argv[i], "--staff") == 0)
            logs = false;
    }
    BenchApplication app(argc, argv);
    if (others)
        whosInAndMemberList(rounds);
    if (logs)
        timeLogs(rounds);
    return 0;
}
