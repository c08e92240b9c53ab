#include "store/glyphs.h"

#include <QApplication>
#include <QHash>
#include <QPainter>
#include <QPainterPath>
#include <QPolygon>
#include <QStyle>

#include <algorithm>

namespace {

constexpr int glyphSize = 16;

const QColor frameGrey(0x80, 0x80, 0x80);
const QColor ink(0x20, 0x20, 0x20);
const QColor body(0x40, 0x40, 0x48);
const QColor lens(0x60, 0xA0, 0xE0);
const QColor stopRed(0xD0, 0x10, 0x10);
const QColor paleBar(0xF4, 0xF4, 0xF4); // pure white would be transparent

void drawBox(QPainter &p, bool checked)
{
    p.setPen(frameGrey);
    p.setBrush(QColor(0xFA, 0xFA, 0xFA));
    p.drawRect(2, 2, 11, 11);
    if (!checked)
        return;
    p.setPen(QPen(ink, 2));
    p.drawPolyline(QPolygon({QPoint(4, 7), QPoint(7, 10), QPoint(12, 4)}));
}

void drawCamera(QPainter &p, int x, int y)
{
    p.setPen(Qt::NoPen);
    p.setBrush(body);
    p.drawRect(x, y + 2, 10, 7);
    p.drawRect(x + 6, y, 3, 2); // viewfinder
    p.setBrush(lens);
    p.drawEllipse(QPoint(x + 4, y + 5), 2, 2);
}

void drawStop(QPainter &p)
{
    p.setPen(Qt::NoPen);
    p.setBrush(stopRed);
    p.drawPolygon(QPolygon({QPoint(5, 1), QPoint(10, 1), QPoint(14, 5), QPoint(14, 10),
                            QPoint(10, 14), QPoint(5, 14), QPoint(1, 10), QPoint(1, 5)}));
    p.setBrush(paleBar);
    p.drawRect(4, 6, 8, 3);
}

void drawDisabled(QPainter &p)
{
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(frameGrey, 2));
    p.drawEllipse(QPoint(7, 7), 5, 5);
    p.drawLine(QPoint(4, 11), QPoint(11, 4));
}

QImage drawGlyph(const QString &name)
{
    QImage glyph(glyphSize, glyphSize, QImage::Format_RGB888);
    glyph.fill(Qt::white);
    QPainter p(&glyph);
    if (name == QLatin1String("BM_STOP")) {
        drawStop(p);
    } else if (name == QLatin1String("BM_CHECK")) {
        drawBox(p, true);
    } else if (name == QLatin1String("BM_UNCHECK")) {
        drawBox(p, false);
    } else if (name == QLatin1String("BM_CAMERA")) {
        drawCamera(p, 3, 3);
    } else if (name == QLatin1String("BM_MCAM")) {
        drawCamera(p, 1, 1);
        drawCamera(p, 5, 6);
    } else if (name == QLatin1String("BM_DISABLE")) {
        drawDisabled(p);
    } else {
        return {};
    }
    return glyph;
}

// The glyph with its white made transparent, made once.
const QImage &transparentGlyph(const QString &name)
{
    static QHash<QString, QImage> cache;
    auto it = cache.find(name);
    if (it == cache.end()) {
        QImage glyph = GlyphBitmap(name).convertToFormat(QImage::Format_ARGB32);
        for (int y = 0; y < glyph.height(); ++y) {
            auto *line = reinterpret_cast<QRgb *>(glyph.scanLine(y));
            for (int x = 0; x < glyph.width(); ++x)
                if ((line[x] & 0xFFFFFF) == 0xFFFFFF)
                    line[x] = 0;
        }
        it = cache.insert(name, glyph);
    }
    return *it;
}

void drawGlyph(QPainter &painter, const QRect &cell, const char *name)
{
    painter.fillRect(cell, painter.brush());
    const QImage &glyph = transparentGlyph(QString::fromLatin1(name));
    const QRect part(0, 0, std::min(cell.width(), glyph.width()),
                     std::min(cell.height(), glyph.height()));
    painter.drawImage(cell.topLeft(), glyph, part);
}

bool isBoolean(const QVariant &value)
{
    return value.metaType().id() == QMetaType::Bool;
}

bool isInteger(const QVariant &value)
{
    switch (value.metaType().id()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Long:
    case QMetaType::ULong:
        return true;
    default:
        return false;
    }
}

} // namespace

QImage GlyphBitmap(const QString &name)
{
    return drawGlyph(name);
}

void DrawStopGlyph(QPainter &painter, const QRect &cell)
{
    drawGlyph(painter, cell, "BM_STOP");
}

void DrawCheckGlyph(QPainter &painter, const QRect &cell, bool flag)
{
    drawGlyph(painter, cell, flag ? "BM_CHECK" : "BM_UNCHECK");
}

bool DrawBooleanCell(QPainter &painter, const QRect &cell, const QVariant &value)
{
    if (!isBoolean(value))
        return false;
    DrawCheckGlyph(painter, cell, value.toBool());
    return true;
}

bool DrawCameraCell(QPainter &painter, const QRect &cell, const QVariant &value)
{
    if (!isInteger(value))
        return false;
    const qlonglong n = value.toLongLong();
    drawGlyph(painter, cell, n == -1 ? "BM_DISABLE" : n == 0 ? "BM_CAMERA" : "BM_MCAM");
    return true;
}

TGlyphDelegate::TGlyphDelegate(Kind kind, QObject *parent)
    : QStyledItemDelegate(parent), m_kind(kind)
{
}

void TGlyphDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option,
                           const QModelIndex &index) const
{
    QVariant value = index.data(FieldValueRole);
    if (!value.isValid())
        value = index.data(Qt::EditRole);
    const bool ours = m_kind == Kind::Boolean ? isBoolean(value) : isInteger(value);
    if (!ours) {
        QStyledItemDelegate::paint(painter, option, index);
        return;
    }
    QBrush background = option.palette.base();
    if (option.state & QStyle::State_Selected)
        background = option.palette.highlight();
    else if (const QVariant brush = index.data(Qt::BackgroundRole); brush.canConvert<QBrush>())
        background = brush.value<QBrush>();
    painter->save();
    painter->setBrush(background);
    if (m_kind == Kind::Boolean)
        DrawBooleanCell(*painter, option.rect, value);
    else
        DrawCameraCell(*painter, option.rect, value);
    painter->restore();
}
