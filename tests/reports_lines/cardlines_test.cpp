#include "reports/cardlines.h"

#include <QFontMetricsF>
#include <gtest/gtest.h>

TEST(CardRemarks, AnyLineEndSplitsAndLinesAreCutAt38)
{
    const QString long40 = QStringLiteral("0123456789012345678901234567890123456789");
    struct Case
    {
        const char *name;
        QString memo;
        std::array<QString, 4> expected;
    } cases[] = {
        {"empty", QString(), {}},
        {"CR LF, LF and CR",
         QStringLiteral("one\r\ntwo\nthree\rfour"),
         {QStringLiteral("one"), QStringLiteral("two"), QStringLiteral("three"),
          QStringLiteral("four")}},
        {"six lines print four",
         QStringLiteral("a\nb\nc\nd\ne\nf"),
         {QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c"), QStringLiteral("d")}},
        {"a long line is cut",
         long40 + QStringLiteral("\n\nx"),
         {long40.left(38), QString(), QStringLiteral("x")}},
    };
    for (const Case &c : cases)
        EXPECT_EQ(CardRemarkLines(c.memo), c.expected) << c.name;
}

TEST(CardLayout, BothStylesPlaceEveryElement)
{
    for (bool horizontal : {true, false}) {
        const TCardLayout &l = CardLayout(horizontal);
        for (const char *name : {"bgphoto", "qrTitle", "xLogo", "xphoto", "qrCardno", "qrName",
                                 "qrGroup", "rem1", "rem4", "qrline1", "qrLine4"})
            EXPECT_FALSE(l.Element(QString::fromLatin1(name)).Name.isEmpty()) << name;
        // Every element lies on the card.
        for (const TCardElement &e : l.Elements) {
            EXPECT_LE(e.Left + (e.RightAligned ? 0 : e.Width), l.BandWidth) << qPrintable(e.Name);
            EXPECT_LE(e.Top + e.Height, l.BandHeight) << qPrintable(e.Name);
        }
        EXPECT_EQ(l.UnderlineTops.size(), 7u);
        EXPECT_LE(l.UnderlineLeft + l.UnderlineLength, l.BandWidth);
    }
    // Two horizontal cards, or three vertical ones, fit across the printable width of A4.
    for (bool horizontal : {true, false}) {
        const TCardLayout &l = CardLayout(horizontal);
        EXPECT_LE(l.Columns * l.BandWidth + (l.Columns - 1) * l.ColumnGap, 210.0 - 30.0);
    }
}

TEST(MemberListCell, TextWrapsInItsColumnAndIsClippedToItsLine)
{
    QFont font(QStringLiteral("Arial"), 10);
    font.setStyleHint(QFont::SansSerif);
    const double dotsPerMm = 600 / 25.4;
    font.setPixelSize(qRound(10 / 72.0 * 600));
    EXPECT_EQ(FitMemberListCell(QStringLiteral("Short"), 3, font, dotsPerMm),
              QStringLiteral("Short"));
    const QString remark =
        QStringLiteral("A remark far too long for the fifty-four millimetres of its column");
    const QString shown = FitMemberListCell(remark, 3, font, dotsPerMm);
    EXPECT_FALSE(shown.isEmpty());
    EXPECT_FALSE(shown.contains(QLatin1Char('\n')));
    EXPECT_TRUE(remark.startsWith(shown)) << qPrintable(shown);
    EXPECT_LT(shown.size(), remark.size());
    EXPECT_LE(QFontMetricsF(font).horizontalAdvance(shown),
              TMemberListColumns::Width(3) * dotsPerMm);
    // A name wider than its column shows as much as fits, never running into the next column.
    const QString name = QStringLiteral("WWWWWWWWWWWWWWWWWWWWWWWWWWWW");
    const QString shownName = FitMemberListCell(name, 1, font, dotsPerMm);
    EXPECT_TRUE(name.startsWith(shownName));
    EXPECT_LT(shownName.size(), name.size());
}
