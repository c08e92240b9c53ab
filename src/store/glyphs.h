#pragma once
// The small pictures data grids draw in their cells: the stop sign, the check boxes and the
// camera marks, with an item delegate that draws them in a QTableView. The glyphs are the
// program's own bitmaps, known by name; pure white in them is transparent. Main thread only.

#include <QImage>
#include <QStyledItemDelegate>

class QPainter;
class QRect;

// What a model answers for this role is a field's own value (a bool for a boolean field, an
// integer for an integer one). Without it the delegate reads Qt::EditRole.
inline constexpr int FieldValueRole = 0x0100 + 78; // Qt::UserRole + 78

// "BM_STOP", "BM_CHECK", "BM_UNCHECK", "BM_CAMERA", "BM_MCAM" or "BM_DISABLE" as drawn, white
// and all; a null image for any other name.
QImage GlyphBitmap(const QString &name);

// Each fills the cell with the painter's brush, then copies the glyph from its top-left corner
// at the cell's size (not scaled), leaving out its white.
void DrawStopGlyph(QPainter &painter, const QRect &cell);
void DrawCheckGlyph(QPainter &painter, const QRect &cell, bool flag);
// For a boolean value only (true when it drew): the check glyph of the value.
bool DrawBooleanCell(QPainter &painter, const QRect &cell, const QVariant &value);
// For an integer value only (true when it drew): "BM_DISABLE" for -1, "BM_CAMERA" for 0,
// "BM_MCAM" for any other value.
bool DrawCameraCell(QPainter &painter, const QRect &cell, const QVariant &value);

// Draws a column's cells with glyphs: install it with QAbstractItemView::setItemDelegateForColumn.
// A cell whose value is not of the glyph's kind is drawn as usual.
class TGlyphDelegate : public QStyledItemDelegate
{
    Q_OBJECT

public:
    enum class Kind
    {
        Boolean, // DrawBooleanCell
        Camera,  // DrawCameraCell
    };

    explicit TGlyphDelegate(Kind kind, QObject *parent = nullptr);
    Kind GlyphKind() const { return m_kind; }

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override;

private:
    Kind m_kind;
};
