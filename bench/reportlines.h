#pragma once
// What the report benchmarks share: the heading, detail and total lines a composition printed
// (kept through the label hook), and the bare baseline of drawing those same lines with one
// drawText each into a QPdfWriter. Main thread only.

#include "reports/reportform.h"
#include "testsupport/benchsupport.h"

#include <QFile>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>

#include <vector>

struct PrintedLines
{
    std::vector<QString> texts;
    std::vector<int> kinds; // 0 heading (qrmaster), 1 line (qrdetails), 2 total (qrtotal)
};

// Keeps the printed lines while it lives.
class PrintedLinesRecorder
{
public:
    explicit PrintedLinesRecorder(PrintedLines &lines)
    {
        m_previous = SetLabelTextHook([&lines](const TReportLabel &label, const QString &text) {
            const QString name = label.Name();
            const int kind = name == QStringLiteral("qrmaster")    ? 0
                             : name == QStringLiteral("qrdetails") ? 1
                             : name == QStringLiteral("qrtotal")   ? 2
                                                                   : -1;
            if (kind >= 0) {
                lines.texts.push_back(text);
                lines.kinds.push_back(kind);
            }
        });
    }
    ~PrintedLinesRecorder() { SetLabelTextHook(m_previous); }
    PrintedLinesRecorder(const PrintedLinesRecorder &) = delete;
    PrintedLinesRecorder &operator=(const PrintedLinesRecorder &) = delete;

private:
    TLabelTextHook m_previous;
};

// Where the bare drawing puts the lines on an A4 page, in mm.
struct LinePlaces
{
    double left, width, top, bottom;
    double lineHeight;  // a detail line
    double otherHeight; // a heading or a total
};

// The bare drawing: the same lines, one drawText each, in the reports' fonts and steps.
inline double DrawLinesMs(const PrintedLines &lines, const QString &file, const LinePlaces &at)
{
    return MsOf([&] {
        QFile out(file);
        out.open(QIODevice::WriteOnly);
        QPdfWriter writer(&out);
        writer.setResolution(600);
        writer.setPageLayout(
            QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(0, 0, 0, 0)));
        QPainter painter(&writer);
        const double mm = 600 / 25.4;
        const QFont heading = ReportFont(QStringLiteral("Arial"), 11);
        const QFont detail = ReportFont(QStringLiteral("Courier New"), 9);
        const QFont total = ReportFont(QStringLiteral("Arial"), 10);
        double y = at.top;
        for (size_t i = 0; i < lines.texts.size(); ++i) {
            const int kind = lines.kinds[i];
            const double h = kind == 1 ? at.lineHeight : at.otherHeight;
            if (y + h > at.bottom) {
                writer.newPage();
                y = at.top;
            }
            painter.setFont(kind == 0 ? heading : kind == 1 ? detail : total);
            painter.drawText(QRectF(at.left * mm, y * mm, at.width * mm, h * mm),
                             Qt::AlignLeft | Qt::AlignTop, lines.texts[i]);
            y += h;
        }
    });
}
