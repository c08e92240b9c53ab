#include "reports/cardlines.h"

#include <QFontMetricsF>
#include <QRegularExpression>
#include <array>
#include <optional>
#include <QTextLayout>

std::array<QString, 4> CardRemarkLines(const QString &memo)
{
    static const QRegularExpression lineEnd(QStringLiteral("\r\n|\n|\r"));
    const QStringList lines = memo.split(lineEnd);
    std::array<QString, 4> result;
    for (int i = 0; i < 4 && i < lines.size(); ++i)
        result[i] = lines[i].left(38);
    return result;
}

const TCardElement &TCardLayout::Element(const QString &name) const
{
    for (const TCardElement &e : Elements)
        if (e.Name == name)
            return e;
    static const TCardElement none;
    return none;
}

namespace {

TCardLayout horizontalLayout()
{
    TCardLayout l;
    l.BandWidth = 85.0;
    l.BandHeight = 56.0;
    l.Columns = 2;
    l.ColumnGap = 10.0;
    l.TitlePointSize = 14;
    l.Elements = {
        {QStringLiteral("bgphoto"), 0, 0, 85.0, 54.0},
        {QStringLiteral("qrTitle"), 3.2, 4.0},
        {QStringLiteral("xLogo"), 68.8, 1.3, 14.1, 14.1},
        {QStringLiteral("xphoto"), 2.6, 18.5, 24.0, 32.0},
        {QStringLiteral("capCardno"), 46.5, 15.4, 0, 0, true},
        {QStringLiteral("capName"), 46.5, 20.7, 0, 0, true},
        {QStringLiteral("capGroup"), 46.5, 26.0, 0, 0, true},
        {QStringLiteral("qrline1"), 46.4, 31.3, 0, 0, true},
        {QStringLiteral("qrLine2"), 46.4, 36.6, 0, 0, true},
        {QStringLiteral("qrLine3"), 46.4, 41.9, 0, 0, true},
        {QStringLiteral("qrLine4"), 46.4, 47.2, 0, 0, true},
        {QStringLiteral("qrCardno"), 47.4, 14.6},
        {QStringLiteral("qrName"), 47.4, 19.8},
        {QStringLiteral("qrGroup"), 47.4, 25.1},
        {QStringLiteral("rem1"), 47.4, 30.4},
        {QStringLiteral("rem2"), 47.4, 35.7},
        {QStringLiteral("rem3"), 47.4, 41.0},
        {QStringLiteral("rem4"), 47.4, 46.3},
    };
    l.UnderlineTops = {18.5, 23.8, 29.3, 34.4, 39.7, 45.0, 50.3};
    l.UnderlineLeft = 47.4;
    l.UnderlineLength = 35.3;
    return l;
}

TCardLayout verticalLayout()
{
    TCardLayout l;
    l.BandWidth = 56.6;
    l.BandHeight = 87.3;
    l.Columns = 3;
    l.ColumnGap = 5.0;
    l.TitlePointSize = 12;
    l.Elements = {
        {QStringLiteral("bgphoto"), 0, 0, 54.0, 85.0},
        {QStringLiteral("qrTitle"), 51.4, 3.5, 0, 0, true},
        {QStringLiteral("xLogo"), 2.2, 2.2, 9.0, 9.0},
        {QStringLiteral("xphoto"), 15.0, 12.9, 24.1, 32.0},
        {QStringLiteral("capCardno"), 16.7, 47.1, 0, 0, true},
        {QStringLiteral("capName"), 16.7, 52.4, 0, 0, true},
        {QStringLiteral("capGroup"), 16.7, 57.7, 0, 0, true},
        {QStringLiteral("qrline1"), 16.4, 63.0, 0, 0, true},
        {QStringLiteral("qrLine2"), 16.4, 68.3, 0, 0, true},
        {QStringLiteral("qrLine3"), 16.4, 73.6, 0, 0, true},
        {QStringLiteral("qrLine4"), 16.4, 78.9, 0, 0, true},
        {QStringLiteral("qrCardno"), 17.0, 46.2},
        {QStringLiteral("qrName"), 17.0, 51.5},
        {QStringLiteral("qrGroup"), 17.0, 56.8},
        {QStringLiteral("rem1"), 17.0, 62.1},
        {QStringLiteral("rem2"), 17.0, 67.3},
        {QStringLiteral("rem3"), 17.0, 72.6},
        {QStringLiteral("rem4"), 17.0, 77.9},
    };
    l.UnderlineTops = {50.2, 55.4, 61.0, 66.0, 71.3, 76.6, 81.9};
    l.UnderlineLeft = 17.0;
    l.UnderlineLength = 35.2;
    return l;
}

} // namespace

const TCardLayout &CardLayout(bool horizontal)
{
    static const TCardLayout h = horizontalLayout();
    static const TCardLayout v = verticalLayout();
    return horizontal ? h : v;
}

double TMemberListColumns::Width(int column)
{
    const double right = column < 3 ? Left[column + 1] : LineWidth;
    return right - Left[column];
}

namespace {

// Most cells hold one short line of Latin text. The sum of its characters' own advances (kept
// per font) with a margin lies above the width the text takes when laid out, so a cell well
// inside its column is known to fit without laying it out; any other goes through the layout.
bool fitsOneLine(const QString &text, const QFont &font, double width, double height)
{
    struct Advances
    {
        std::optional<QFont> font;
        double height = 0;
        std::array<double, 0x300> advance{};
    };
    static Advances cache;
    if (cache.font != font) {
        const QFontMetricsF metrics(font);
        cache.font = font;
        cache.height = metrics.height();
        for (char16_t c = 0; c < cache.advance.size(); ++c)
            cache.advance[c] = metrics.horizontalAdvance(QChar(c));
    }
    if (cache.height > height)
        return false;
    double sum = 0;
    for (const QChar c : text) {
        if (c.unicode() >= cache.advance.size() || c == u'\r' || c == u'\n')
            return false;
        sum += cache.advance[c.unicode()];
    }
    return sum * 1.1 <= width;
}

} // namespace

QString FitMemberListCell(const QString &text, int column, const QFont &font, double dotsPerMm)
{
    const double width = TMemberListColumns::Width(column) * dotsPerMm;
    const double height = TMemberListColumns::LineHeight * dotsPerMm;
    if (fitsOneLine(text, font, width, height))
        return text.trimmed();
    QTextLayout layout(text, font);
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    QStringList shown;
    double y = 0;
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(width);
        if (y + line.height() > height + 0.01)
            break;
        y += line.height();
        shown << text.mid(line.textStart(), line.textLength()).trimmed();
    }
    layout.endLayout();
    return shown.join(QLatin1Char('\n'));
}
