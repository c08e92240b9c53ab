#pragma once
// What a member card and a member-list row print beside the pictures: the four remark lines of
// a card, the card elements' places for both card styles, and a member-list cell's text as it
// fits its line. No widgets; any thread that may measure fonts (the main thread).

#include <QFont>
#include <QString>
#include <QStringList>
#include <array>
#include <vector>

// MEMO split at any line end (CR LF, LF or CR): the first four lines, each cut to 38
// characters, empty for a missing line.
std::array<QString, 4> CardRemarkLines(const QString &memo);

// One element of a card, in mm from the card band's top-left corner. A right-aligned text has
// Left as its right edge; Width and Height are 0 where the text sizes itself.
struct TCardElement
{
    QString Name;
    double Left = 0;
    double Top = 0;
    double Width = 0;
    double Height = 0;
    bool RightAligned = false;
};

struct TCardLayout
{
    double BandWidth = 0, BandHeight = 0; // the card band
    int Columns = 0;
    double ColumnGap = 0;
    double TitlePointSize = 0;
    std::vector<TCardElement> Elements; // bgphoto, qrTitle, xLogo, xphoto, captions, fields
    std::vector<double> UnderlineTops;
    double UnderlineLeft = 0, UnderlineLength = 0;

    const TCardElement &Element(const QString &name) const;
};

// horizontal: two cards across a page; otherwise three vertical cards.
const TCardLayout &CardLayout(bool horizontal);

// The member list's columns, in mm from the detail band's left edge, and its fixed line height.
struct TMemberListColumns
{
    static constexpr double Left[4] = {0.0, 26.5, 73.0, 120.7};
    static constexpr double LineWidth = 175.0; // A4 less the 25 mm and 10 mm margins
    static constexpr double LineHeight = 5.3;
    static double Width(int column);
};

// The text of one member-list cell as it prints: word-wrapped within the column and cut after
// the last wrapped line that fits the row's height (at the given dots per mm).
QString FitMemberListCell(const QString &text, int column, const QFont &font, double dotsPerMm);
