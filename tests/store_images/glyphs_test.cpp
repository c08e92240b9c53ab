// Grid glyphs: drawn from the program's own bitmaps with white left out.

#include "store/glyphs.h"

#include <QPainter>
#include <QStandardItemModel>
#include <QStyleOptionViewItem>
#include <QTableView>
#include <gtest/gtest.h>

namespace {

const QStringList glyphNames{QStringLiteral("BM_STOP"),    QStringLiteral("BM_CHECK"),
                             QStringLiteral("BM_UNCHECK"), QStringLiteral("BM_CAMERA"),
                             QStringLiteral("BM_MCAM"),    QStringLiteral("BM_DISABLE")};

const QColor cellColour(0x33, 0x99, 0x66);

// The cell as the glyph should come out: the brush colour where the glyph is white, the
// glyph elsewhere, cut at the cell's size.
QImage expectedCell(const QString &name, QSize cell)
{
    QImage expected(cell, QImage::Format_RGB32);
    expected.fill(cellColour);
    const QImage glyph = GlyphBitmap(name);
    for (int y = 0; y < std::min(cell.height(), glyph.height()); ++y)
        for (int x = 0; x < std::min(cell.width(), glyph.width()); ++x)
            if ((glyph.pixel(x, y) & 0xFFFFFF) != 0xFFFFFF)
                expected.setPixel(x, y, glyph.pixel(x, y));
    return expected;
}

// A canvas larger than the cell, so that painting outside the cell shows.
template <typename Draw> QImage drawnCell(QSize cell, Draw &&draw, QImage *whole = nullptr)
{
    QImage canvas(cell + QSize(10, 10), QImage::Format_RGB32);
    canvas.fill(Qt::black);
    {
        QPainter p(&canvas);
        p.setBrush(cellColour);
        draw(p, QRect(QPoint(5, 5), cell));
    }
    if (whole)
        *whole = canvas;
    return canvas.copy(QRect(QPoint(5, 5), cell));
}

bool onlyBlackOutside(const QImage &canvas, QSize cell)
{
    for (int y = 0; y < canvas.height(); ++y)
        for (int x = 0; x < canvas.width(); ++x)
            if (!QRect(QPoint(5, 5), cell).contains(x, y) && canvas.pixel(x, y) != qRgb(0, 0, 0))
                return false;
    return true;
}

TEST(GlyphBitmap, EveryNamedGlyphIsItsOwnPictureOnWhite)
{
    QList<QImage> seen;
    for (const QString &name : glyphNames) {
        SCOPED_TRACE(name.toStdString());
        const QImage glyph = GlyphBitmap(name);
        ASSERT_FALSE(glyph.isNull());
        EXPECT_EQ(glyph.size(), QSize(16, 16));
        EXPECT_EQ(glyph.pixel(0, 0), qRgb(255, 255, 255)); // the transparent colour around it
        EXPECT_FALSE(seen.contains(glyph));
        seen << glyph;
    }
    EXPECT_TRUE(GlyphBitmap(QStringLiteral("BM_NONE")).isNull());
}

TEST(GlyphPainters, FillTheCellThenCopyTheGlyphWithoutItsWhite)
{
    struct Row
    {
        const char *name;
        const char *glyph;
        std::function<bool(QPainter &, const QRect &)> draw;
    } rows[] = {
        {"stop", "BM_STOP", [](QPainter &p, const QRect &r) { return DrawStopGlyph(p, r), true; }},
        {"checked", "BM_CHECK",
         [](QPainter &p, const QRect &r) { return DrawCheckGlyph(p, r, true), true; }},
        {"unchecked", "BM_UNCHECK",
         [](QPainter &p, const QRect &r) { return DrawCheckGlyph(p, r, false), true; }},
        {"boolean true", "BM_CHECK",
         [](QPainter &p, const QRect &r) { return DrawBooleanCell(p, r, QVariant(true)); }},
        {"boolean false", "BM_UNCHECK",
         [](QPainter &p, const QRect &r) { return DrawBooleanCell(p, r, QVariant(false)); }},
        {"no capture", "BM_DISABLE",
         [](QPainter &p, const QRect &r) { return DrawCameraCell(p, r, QVariant(-1)); }},
        {"one camera", "BM_CAMERA",
         [](QPainter &p, const QRect &r) { return DrawCameraCell(p, r, QVariant(0)); }},
        {"several cameras", "BM_MCAM",
         [](QPainter &p, const QRect &r) { return DrawCameraCell(p, r, QVariant(qint64(3))); }},
    };
    for (const Row &r : rows) {
        // Cells larger and smaller than the glyph: it is never scaled, only cut.
        for (const QSize cell : {QSize(40, 18), QSize(9, 7)}) {
            SCOPED_TRACE(std::string(r.name) + " " + std::to_string(cell.width()));
            QImage canvas;
            bool drew = false;
            const QImage got = drawnCell(
                cell, [&](QPainter &p, const QRect &rect) { drew = r.draw(p, rect); }, &canvas);
            EXPECT_TRUE(drew);
            EXPECT_EQ(got, expectedCell(QString::fromLatin1(r.glyph), cell));
            EXPECT_TRUE(onlyBlackOutside(canvas, cell));
        }
    }
}

TEST(GlyphPainters, CellsOfAnotherKindAreLeftAlone)
{
    struct Row
    {
        const char *name;
        std::function<bool(QPainter &, const QRect &)> draw;
    } rows[] = {
        {"boolean cell with a number",
         [](QPainter &p, const QRect &r) { return DrawBooleanCell(p, r, QVariant(1)); }},
        {"boolean cell with text",
         [](QPainter &p, const QRect &r) {
             return DrawBooleanCell(p, r, QVariant(QStringLiteral("True")));
         }},
        {"camera cell with a flag",
         [](QPainter &p, const QRect &r) { return DrawCameraCell(p, r, QVariant(true)); }},
        {"camera cell with nothing",
         [](QPainter &p, const QRect &r) { return DrawCameraCell(p, r, QVariant()); }},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.name);
        bool drew = true;
        const QImage got = drawnCell(
            QSize(20, 18), [&](QPainter &p, const QRect &rect) { drew = r.draw(p, rect); });
        EXPECT_FALSE(drew);
        QImage black(20, 18, QImage::Format_RGB32);
        black.fill(Qt::black);
        EXPECT_EQ(got, black);
    }
}

TEST(TGlyphDelegate, DrawsGlyphCellsAndLeavesOthersToTheView)
{
    QStandardItemModel model(3, 1);
    model.setData(model.index(0, 0), true, FieldValueRole);
    model.setData(model.index(1, 0), QVariant(0), Qt::EditRole);
    model.setData(model.index(2, 0), QStringLiteral("text"), Qt::DisplayRole);

    const QSize cell(30, 18);
    const auto paintCell = [&](TGlyphDelegate::Kind kind, int row) {
        TGlyphDelegate delegate(kind);
        QStyleOptionViewItem option;
        option.rect = QRect(QPoint(0, 0), cell);
        option.palette.setColor(QPalette::Base, cellColour);
        QImage canvas(cell, QImage::Format_RGB32);
        canvas.fill(Qt::black);
        QPainter p(&canvas);
        delegate.paint(&p, option, model.index(row, 0));
        p.end();
        return canvas;
    };
    EXPECT_EQ(paintCell(TGlyphDelegate::Kind::Boolean, 0),
              expectedCell(QStringLiteral("BM_CHECK"), cell));
    EXPECT_EQ(paintCell(TGlyphDelegate::Kind::Camera, 1),
              expectedCell(QStringLiteral("BM_CAMERA"), cell));
    // Not of the column's kind: drawn as a plain cell (the view's text, no glyph).
    EXPECT_NE(paintCell(TGlyphDelegate::Kind::Boolean, 2),
              expectedCell(QStringLiteral("BM_CHECK"), cell));
    EXPECT_NE(paintCell(TGlyphDelegate::Kind::Boolean, 1),
              expectedCell(QStringLiteral("BM_UNCHECK"), cell));

    QTableView view;
    view.setModel(&model);
    auto *delegate = new TGlyphDelegate(TGlyphDelegate::Kind::Boolean, &view);
    view.setItemDelegateForColumn(0, delegate);
    EXPECT_EQ(view.itemDelegateForColumn(0), delegate);
}

} // namespace
