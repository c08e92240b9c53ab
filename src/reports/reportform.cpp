#include "reports/reportform.h"

#include "store/clock.h"
#include "store/dataset.h"
#include "store/messages.h"
#include "store/pgbar.h"
#include "store/waitcursor.h"

#include <QCoreApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QFontMetricsF>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QSaveFile>
#include <QScopeGuard>
#include <QTextLayout>
#include <algorithm>
#include <optional>

namespace {

TLabelTextHook g_labelHook;

// Text is measured at a fine resolution so that the sizes hold on paper as on screen.
constexpr int MeasureDpi = 600;
constexpr double MmPerInch = 25.4;

const QImage &measureDevice()
{
    static const QImage device = [] {
        QImage image(1, 1, QImage::Format_Mono);
        const int dotsPerMeter = int(MeasureDpi / MmPerInch * 1000.0 + 0.5);
        image.setDotsPerMeterX(dotsPerMeter);
        image.setDotsPerMeterY(dotsPerMeter);
        return image;
    }();
    return device;
}

double pxToMm(double px)
{
    return px / MeasureDpi * MmPerInch;
}

double mmToPx(double mm)
{
    return mm * MeasureDpi / MmPerInch;
}

QString printedAtText()
{
    return Now().toString(QStringLiteral("dd/MM/yyyy HH:mm:ss"));
}

// Runs one print per row of a bound dataset. The rows are walked by number, so a callback that
// moves the cursor back or reopens the query cannot start the walk over: each row prints once
// and the walk ends.
template <typename F> void eachRow(TDataSet &ds, F printRow)
{
    for (int row = 0; ds.Active() && row < ds.RecordCount(); ++row) {
        ds.MoveTo(row);
        printRow();
    }
}

} // namespace

QFont ReportFont(const QString &family, double pointSize, bool underline)
{
    QFont font(family);
    font.setPointSizeF(pointSize);
    font.setUnderline(underline);
    if (family.contains(QStringLiteral("Courier"), Qt::CaseInsensitive)) {
        font.setStyleHint(QFont::TypeWriter);
        font.setFixedPitch(true);
    } else {
        font.setStyleHint(QFont::SansSerif);
    }
    return font;
}

TLabelTextHook SetLabelTextHook(TLabelTextHook hook)
{
    TLabelTextHook previous = std::move(g_labelHook);
    g_labelHook = std::move(hook);
    return previous;
}

// ---- Controls ------------------------------------------------------------------------------

TReportControl::TReportControl(TReportBand *band, const QRectF &rect) : m_band(band), m_rect(rect)
{
}

TReportControl::~TReportControl() = default;

// The sides of a frame as lines round the rectangle.
static void addFrameLines(std::vector<TPageItem> &out, const QRectF &r, unsigned sides)
{
    auto side = [&](unsigned flag, QPointF a, QPointF b) {
        if (!(sides & flag))
            return;
        TPageItem item;
        item.kind = TPageItem::Kind::Line;
        item.rect = QRectF(a, b);
        item.color = Qt::black;
        out.push_back(std::move(item));
    };
    side(FrameLeft, r.topLeft(), r.bottomLeft());
    side(FrameTop, r.topLeft(), r.topRight());
    side(FrameRight, r.topRight(), r.bottomRight());
    side(FrameBottom, r.bottomLeft(), r.bottomRight());
}

void TReportControl::addFrame(std::vector<TPageItem> &out, const QRectF &r) const
{
    addFrameLines(out, r, m_frame);
}

TReportText::TReportText(TReportBand *band, const QRectF &rect)
    : TReportControl(band, rect), m_font(band->Form()->Font())
{
}

namespace {

struct TextLine
{
    QString text;
    double top = 0; // mm from the box's top
    double height = 0;
};

// A font's metrics on the measuring device, kept: reports print the same few fonts over and
// over, and making the metrics costs more than most measurements.
struct FontMeasure
{
    explicit FontMeasure(const QFont &font)
        : metrics(font, &measureDevice()), heightMm(pxToMm(metrics.height()))
    {
        for (char16_t c = 0x20; c < 0x100; ++c)
            widestMm = std::max(widestMm, pxToMm(metrics.horizontalAdvance(QChar(c))));
    }
    QFontMetricsF metrics;
    double heightMm;     // one line
    double widestMm = 0; // the widest Latin-1 character's advance
};

const FontMeasure &measureOf(const QFont &font)
{
    // A handful of fonts, the one just used first: most look-ups end at the first entry.
    static std::vector<std::pair<QFont, std::unique_ptr<const FontMeasure>>> kept;
    for (size_t i = 0; i < kept.size(); ++i) {
        if (kept[i].first == font) {
            if (i > 0)
                std::swap(kept[i], kept[i - 1]);
            return *kept[i > 0 ? i - 1 : 0].second;
        }
    }
    if (kept.size() >= 16)
        kept.pop_back();
    kept.emplace(kept.begin(), font, std::make_unique<const FontMeasure>(font));
    return *kept.front().second;
}

double textWidth(const QFont &font, const QString &text)
{
    return pxToMm(measureOf(font).metrics.horizontalAdvance(text));
}

// True when the text fits `width` mm on one line. Most lines are told by their length alone
// (no Latin-1 character is wider than the widest); the rest are measured.
bool fitsOneLine(const QFont &font, const QString &text, double width)
{
    if (text.contains(QLatin1Char('\n')))
        return false;
    const bool latin1 = std::all_of(text.begin(), text.end(), [](QChar c) {
        return c.unicode() >= 0x20 && c.unicode() < 0x100; // tabs and the like are measured
    });
    if (latin1 && text.size() * measureOf(font).widestMm <= width)
        return true;
    return textWidth(font, text) <= width;
}

// The text broken into lines no wider than `width` mm: at blanks, or inside a word that is
// longer than a line. A text that fits gives one line.
std::vector<TextLine> wrapText(const QString &text, const QFont &font, double width)
{
    std::vector<TextLine> lines;
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    for (const QString &paragraph : text.split(QLatin1Char('\n'))) {
        QTextLayout layout(paragraph, font, &measureDevice());
        layout.setTextOption(option);
        layout.beginLayout();
        const size_t first = lines.size();
        for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
            line.setLineWidth(mmToPx(width));
            const double top = lines.empty() ? 0 : lines.back().top + lines.back().height;
            lines.push_back(
                {paragraph.mid(line.textStart(), line.textLength()), top, pxToMm(line.height())});
        }
        layout.endLayout();
        // The blanks a line was broken at belong to no line.
        for (size_t i = first; i + 1 < lines.size(); ++i) {
            QString &t = lines[i].text;
            while (t.endsWith(QLatin1Char(' ')))
                t.chop(1);
        }
    }
    return lines;
}

// The font made smaller until the text fits `width` mm on one line; `lower` is how far down
// the smaller text starts to stand on the same baseline. Measured on their own: these sizes
// are one-offs, not for the kept metrics.
QFont fontToFit(QFont font, const QString &text, double width, double &lineHeight, double &lower)
{
    auto need = [&] {
        return pxToMm(QFontMetricsF(font, &measureDevice()).horizontalAdvance(text));
    };
    const double ascent = measureOf(font).metrics.ascent();
    for (double n = need(); n > width && font.pointSizeF() > 1; n = need())
        font.setPointSizeF(font.pointSizeF() * std::min(width / n, 0.98));
    const QFontMetricsF smaller(font, &measureDevice());
    lineHeight = pxToMm(smaller.height());
    lower = pxToMm(ascent - smaller.ascent());
    return font;
}

} // namespace

void TReportText::renderText(const QString &text, std::vector<TPageItem> &out, double &height,
                             double bandWidth)
{
    QRectF rect = m_rect;
    QFont font = m_font;
    std::vector<TextLine> lines; // more than one only when the text wraps
    double lineHeight = 0;
    double lower = 0; // a shrunk text keeps the baseline of the full-size one
    if (fitsOneLine(font, text, rect.width())) {
        lineHeight = measureOf(font).heightMm;
    } else {
        if (m_autoSize && !m_wordWrap) {
            // Wider, toward the side the alignment leaves free, as far as the band allows.
            const double grow = std::max(textWidth(font, text) - rect.width(), 0.0);
            if (m_alignment & Qt::AlignRight) {
                rect.setLeft(std::max(0.0, rect.left() - grow));
            } else if (m_alignment & Qt::AlignHCenter) {
                const double half = std::min({grow / 2, rect.left(), bandWidth - rect.right()});
                rect.adjust(-std::max(half, 0.0), 0, std::max(half, 0.0), 0);
            } else {
                rect.setRight(std::max(rect.right(), std::min(rect.right() + grow, bandWidth)));
            }
        }
        if (m_shrinkToFit)
            font = fontToFit(font, text, rect.width(), lineHeight, lower);
        else
            lines = wrapText(text, font, rect.width());
    }
    if (lines.size() == 1) { // fits after all (auto size widened it)
        lineHeight = lines.front().height;
        lines.clear();
    }
    rect.setHeight(std::max(rect.height(), lines.empty() ? lower + lineHeight
                                                         : lines.back().top + lines.back().height));
    if (!m_transparent && m_color.isValid()) {
        TPageItem fill;
        fill.kind = TPageItem::Kind::Fill;
        fill.rect = rect;
        fill.color = m_color;
        out.push_back(std::move(fill));
    }
    auto addRun = [&](const QRectF &at, const QString &run) {
        TPageItem item;
        item.kind = TPageItem::Kind::Text;
        item.rect = at;
        item.text = run;
        item.font = font;
        // Laid out to fit already: a printer measuring a hair wider must not cut it.
        item.flags = int(m_alignment) | int(Qt::TextDontClip);
        item.color = m_fontColor;
        out.push_back(std::move(item));
    };
    if (lines.empty())
        addRun(m_alignment & Qt::AlignTop ? rect.adjusted(0, lower, 0, 0) : rect, text);
    for (const TextLine &line : lines)
        addRun(QRectF(rect.left(), rect.top() + line.top, rect.width(), line.height), line.text);
    addFrame(out, rect);
    height = std::max(height, rect.bottom());
}

TReportLabel::TReportLabel(TReportBand *band, const QString &name, const QRectF &rect)
    : TReportText(band, rect), m_name(name)
{
}

void TReportLabel::Render(std::vector<TPageItem> &out, double &height, double bandWidth)
{
    QString value = m_caption;
    if (OnPrint)
        OnPrint(value);
    if (g_labelHook)
        g_labelHook(*this, value);
    renderText(value, out, height, bandWidth);
}

TReportDBText::TReportDBText(TReportBand *band, TDataSet *dataSet, const QString &field,
                             const QRectF &rect)
    : TReportText(band, rect), m_dataSet(dataSet), m_field(field)
{
}

void TReportDBText::Render(std::vector<TPageItem> &out, double &height, double bandWidth)
{
    QString text;
    if (m_dataSet && m_dataSet->Active() && !m_dataSet->IsEmpty()) {
        const TField field = m_dataSet->FindField(m_field);
        if (field.IsValid())
            text = field.AsString();
    }
    renderText(text, out, height, bandWidth);
}

TReportImage::TReportImage(TReportBand *band, const QRectF &rect) : TReportControl(band, rect) {}

void TReportImage::Render(std::vector<TPageItem> &out, double &height, double)
{
    if (!m_picture.isNull()) {
        QRectF target = m_rect;
        if (!m_stretch) {
            // At its own size (by its resolution), never past the control's rectangle.
            const double dpmX = m_picture.dotsPerMeterX() > 0 ? m_picture.dotsPerMeterX() : 3780;
            const double dpmY = m_picture.dotsPerMeterY() > 0 ? m_picture.dotsPerMeterY() : 3780;
            target.setWidth(std::min(m_rect.width(), m_picture.width() / dpmX * 1000.0));
            target.setHeight(std::min(m_rect.height(), m_picture.height() / dpmY * 1000.0));
        }
        TPageItem item;
        item.kind = TPageItem::Kind::Image;
        item.rect = target;
        item.image = m_picture;
        out.push_back(std::move(item));
    }
    addFrame(out, m_rect);
    height = std::max(height, m_rect.bottom());
}

TReportShape::TReportShape(TReportBand *band, TShapeKind kind, const QRectF &rect)
    : TReportControl(band, rect), m_kind(kind)
{
}

void TReportShape::Render(std::vector<TPageItem> &out, double &height, double)
{
    auto line = [&](QPointF a, QPointF b) {
        TPageItem item;
        item.kind = TPageItem::Kind::Line;
        item.rect = QRectF(a, b);
        item.color = Qt::black;
        item.penWidth = m_penWidth;
        out.push_back(std::move(item));
    };
    const QRectF r = m_rect;
    switch (m_kind) {
    case TShapeKind::HorzLine:
        line(QPointF(r.left(), r.center().y()), QPointF(r.right(), r.center().y()));
        break;
    case TShapeKind::VertLine:
        line(QPointF(r.center().x(), r.top()), QPointF(r.center().x(), r.bottom()));
        break;
    case TShapeKind::Rectangle:
        line(r.topLeft(), r.topRight());
        line(r.topRight(), r.bottomRight());
        line(r.bottomRight(), r.bottomLeft());
        line(r.bottomLeft(), r.topLeft());
        break;
    }
    height = std::max(height, r.bottom());
}

TReportSysData::TReportSysData(TReportBand *band, TSysDataKind kind, const QRectF &rect)
    : TReportText(band, rect), m_kind(kind)
{
}

void TReportSysData::Render(std::vector<TPageItem> &out, double &height, double bandWidth)
{
    QString text = m_prefix;
    switch (m_kind) {
    case TSysDataKind::DateTime:
        text += m_band->Form()->m_printedAt;
        break;
    case TSysDataKind::ReportTitle:
        text += m_band->Form()->ReportTitle();
        break;
    case TSysDataKind::PageNumber:
        break; // the page is known only once the band is placed
    }
    const size_t first = out.size();
    renderText(text, out, height, bandWidth);
    if (m_kind == TSysDataKind::PageNumber) {
        // The number follows the text's last line.
        for (size_t i = out.size(); i > first; --i) {
            if (out[i - 1].kind == TPageItem::Kind::Text) {
                out[i - 1].penWidth = -1; // marks the item for its page number
                break;
            }
        }
    }
}

void TReportSysData::Place(TPageItem &item, int pageNumber)
{
    item.text += QString::number(pageNumber);
}

// ---- Bands ---------------------------------------------------------------------------------

TReportBand::TReportBand(TReportForm *form, TBandType type, double height)
    : m_form(form), m_type(type), m_height(height)
{
}

TReportBand::~TReportBand() = default;

template <typename T> T *TReportBand::add(std::unique_ptr<T> control)
{
    T *raw = control.get();
    m_controls.push_back(std::move(control));
    return raw;
}

TReportLabel *TReportBand::AddLabel(const QString &name, const QRectF &rect)
{
    return add(std::make_unique<TReportLabel>(this, name, rect));
}

TReportDBText *TReportBand::AddDBText(TDataSet *dataSet, const QString &field, const QRectF &rect)
{
    return add(std::make_unique<TReportDBText>(this, dataSet, field, rect));
}

TReportImage *TReportBand::AddImage(const QRectF &rect)
{
    return add(std::make_unique<TReportImage>(this, rect));
}

TReportShape *TReportBand::AddShape(TShapeKind kind, const QRectF &rect)
{
    return add(std::make_unique<TReportShape>(this, kind, rect));
}

TReportSysData *TReportBand::AddSysData(TSysDataKind kind, const QRectF &rect)
{
    return add(std::make_unique<TReportSysData>(this, kind, rect));
}

TReportSubDetail::TReportSubDetail(TReportForm *form, double height, TReportSubDetail *master)
    : TReportBand(form, TBandType::SubDetail, height), m_master(master)
{
    SetPrintIfEmpty(false);
}

// ---- Composition ---------------------------------------------------------------------------

// Lays the printed bands onto pages. One instance per composition.
struct TReportForm::Composer
{
    TReportForm &form;
    std::vector<TReportPage> &pages;
    bool pageOpen = false;
    bool bodyOnPage = false; // a body band is on the current page
    int column = 0;
    double y = 0;
    double columnTop = 0;
    double footerHeight = 0;

    struct Rendered
    {
        std::vector<TPageItem> items;
        double width = 0;
        double height = 0;
        // Sys-data items that show the page number, with their control.
        std::vector<std::pair<size_t, TReportControl *>> pageNumbered;
    };

    // When the event loop last turned: inside one record's lines it turns again once a
    // millisecond has passed, so a long record (a person's year) keeps the desk answering too.
    QElapsedTimer sinceTurn;

    void turnEventLoop()
    {
        QCoreApplication::processEvents();
        sinceTurn.start();
    }
    void turnEventLoopNow()
    {
        if (!sinceTurn.isValid() || sinceTurn.nsecsElapsed() >= 1000000)
            turnEventLoop();
    }

    Composer(TReportForm &f, std::vector<TReportPage> &p) : form(f), pages(p)
    {
        for (const auto &band : form.m_bands) {
            if (band->Type() == TBandType::PageFooter)
                footerHeight += band->Height();
        }
    }

    double usableWidth() const { return form.m_pageWidth - form.m_marginLeft - form.m_marginRight; }
    double columnWidth() const
    {
        const int n = std::max(form.m_columns, 1);
        return (usableWidth() - (n - 1) * form.m_columnSpacing) / n;
    }
    double columnLeft() const
    {
        return form.m_marginLeft + column * (columnWidth() + form.m_columnSpacing);
    }
    double bodyBottom() const { return form.m_pageHeight - form.m_marginBottom - footerHeight; }

    // Runs the band's BeforePrint and its controls once; nothing when the band is skipped.
    std::optional<Rendered> render(TReportBand &band, double width)
    {
        bool printBand = true;
        if (band.BeforePrint)
            band.BeforePrint(printBand);
        if (!printBand)
            return std::nullopt;
        Rendered r;
        double height = band.Height();
        std::vector<TPageItem> content;
        for (const auto &control : band.Controls()) {
            if (!control->Enabled())
                continue;
            const size_t first = content.size();
            control->Render(content, height, width);
            for (size_t i = first; i < content.size(); ++i) {
                if (content[i].penWidth < 0) {
                    content[i].penWidth = 0.2;
                    r.pageNumbered.emplace_back(i, control.get());
                }
            }
        }
        r.width = width;
        r.height = height;
        size_t shift = 0;
        if (band.Color().isValid()) {
            TPageItem fill;
            fill.kind = TPageItem::Kind::Fill;
            fill.rect = QRectF(0, 0, width, height);
            fill.color = band.Color();
            r.items.push_back(std::move(fill));
            shift = 1;
        }
        for (auto &entry : r.pageNumbered)
            entry.first += shift;
        std::move(content.begin(), content.end(), std::back_inserter(r.items));
        addFrameLines(r.items, QRectF(0, 0, width, height), band.Frame());
        return r;
    }

    void place(Rendered &r, double left, double top)
    {
        TReportPage &page = pages.back();
        const int pageNumber = int(pages.size());
        for (auto &[index, control] : r.pageNumbered)
            control->Place(r.items[index], pageNumber);
        const QPointF offset(left, top);
        page.bands.emplace_back(left, top, r.width, r.height);
        for (TPageItem &item : r.items) {
            item.rect.translate(offset);
            page.items.push_back(std::move(item));
        }
    }

    void printFixed(TBandType type, double &at)
    {
        for (const auto &band : form.m_bands) {
            if (band->Type() != type)
                continue;
            const double width = type == TBandType::ColumnHeader ? columnWidth() : usableWidth();
            const double left = type == TBandType::ColumnHeader ? columnLeft() : form.m_marginLeft;
            if (auto r = render(*band, width)) {
                place(*r, left, at);
                at += r->height;
            }
        }
    }

    void openPage()
    {
        pages.emplace_back();
        pageOpen = true;
        bodyOnPage = false;
        column = 0;
        y = form.m_marginTop;
        if (pages.size() > 1 || form.m_firstPageHeader)
            printFixed(TBandType::PageHeader, y);
        columnTop = y;
        printFixed(TBandType::ColumnHeader, y);
    }

    void closePage(bool last)
    {
        if (!pageOpen)
            return;
        if (!last || form.m_lastPageFooter) {
            double at = bodyBottom();
            printFixed(TBandType::PageFooter, at);
        }
        pageOpen = false;
    }

    void nextColumnOrPage()
    {
        if (column + 1 < std::max(form.m_columns, 1)) {
            ++column;
            y = columnTop;
            printFixed(TBandType::ColumnHeader, y);
            bodyOnPage = false;
            return;
        }
        closePage(false);
        openPage();
    }

    bool printBody(TReportBand &band)
    {
        auto r = render(band, columnWidth());
        if (!r)
            return false;
        if (!pageOpen)
            openPage();
        // The linked band must start on the same page: room for it too.
        double need = r->height;
        if (TReportBand *link = band.LinkBand(); link && link->Type() == TBandType::SubDetail)
            need += link->Height();
        if (band.ForceNewPage() && bodyOnPage) {
            closePage(false);
            openPage();
        } else if (bodyOnPage && y + need > bodyBottom() + 1e-9) {
            nextColumnOrPage();
        }
        // A band taller than a whole page goes on over the next pages, cut between its lines.
        while (r->height > bodyBottom() - y + 1e-9 && bodyBottom() - y > MinSliceMm) {
            Rendered head = splitOff(*r, bodyBottom() - y);
            place(head, columnLeft(), y);
            nextColumnOrPage();
        }
        place(*r, columnLeft(), y);
        y += r->height;
        bodyOnPage = true;
        return true;
    }

    // Below this much room a page takes no slice of a band (a header filling the page).
    static constexpr double MinSliceMm = 1;

    // Takes off the top of a rendered band, at most `room` mm high and cut where no text or
    // picture is crossed; the rest moves up to start at 0. Fills and upright lines that cross
    // the cut are cut in two.
    static Rendered splitOff(Rendered &r, double room)
    {
        constexpr double eps = 1e-9;
        auto crosses = [&](const TPageItem &item, double at) {
            return (item.kind == TPageItem::Kind::Text || item.kind == TPageItem::Kind::Image) &&
                   item.rect.top() < at - eps && item.rect.bottom() > at + eps;
        };
        double cut = room;
        for (bool moved = true; moved;) {
            moved = false;
            for (const TPageItem &item : r.items) {
                if (crosses(item, cut)) {
                    cut = item.rect.top();
                    moved = true;
                }
            }
        }
        if (cut <= eps)
            cut = room; // one line taller than a page: it cannot be kept whole
        Rendered head;
        head.width = r.width;
        head.height = cut;
        Rendered rest;
        rest.width = r.width;
        rest.height = r.height - cut;
        std::vector<int> headIndex(r.items.size(), -1), restIndex(r.items.size(), -1);
        for (size_t i = 0; i < r.items.size(); ++i) {
            TPageItem &item = r.items[i];
            if (item.kind == TPageItem::Kind::Line && item.rect.top() > item.rect.bottom())
                item.rect = QRectF(item.rect.bottomRight(), item.rect.topLeft()); // downward
            const bool above = item.rect.bottom() <= cut + eps || crosses(item, cut);
            const bool below = item.rect.top() >= cut - eps;
            if (above || !below) {
                TPageItem top = item;
                if (!above)
                    top.rect.setBottom(cut);
                headIndex[i] = int(head.items.size());
                head.items.push_back(std::move(top));
            }
            if (!above) {
                TPageItem bottom = std::move(item);
                if (!below)
                    bottom.rect.setTop(cut);
                bottom.rect.translate(0, -cut);
                restIndex[i] = int(rest.items.size());
                rest.items.push_back(std::move(bottom));
            }
        }
        for (const auto &[index, control] : r.pageNumbered) {
            if (headIndex[index] >= 0)
                head.pageNumbered.emplace_back(size_t(headIndex[index]), control);
            if (restIndex[index] >= 0)
                rest.pageNumbered.emplace_back(size_t(restIndex[index]), control);
        }
        r = std::move(rest);
        return head;
    }

    void runChildren(TReportSubDetail *master)
    {
        for (const auto &band : form.m_bands) {
            if (band->Type() != TBandType::SubDetail)
                continue;
            auto *sub = static_cast<TReportSubDetail *>(band.get());
            if (sub->Master() == master)
                runSubDetail(*sub);
        }
    }

    void printOnce(TReportSubDetail &band)
    {
        // A skipped print takes the bands under it along.
        if (printBody(band))
            runChildren(&band);
    }

    void runSubDetail(TReportSubDetail &band)
    {
        if (TDataSet *ds = band.DataSet()) {
            eachRow(*ds, [&] {
                printOnce(band);
                turnEventLoopNow();
            });
            return;
        }
        if (band.OnNeedData) {
            for (;;) {
                bool more = false;
                band.OnNeedData(more);
                if (!more)
                    break;
                printOnce(band);
                turnEventLoopNow();
            }
            return;
        }
        if (band.PrintIfEmpty())
            printOnce(band);
    }
};

TReportForm::TReportForm(QObject *owner)
    : QObject(owner), m_font(ReportFont(QStringLiteral("Arial"), 10))
{
}

TReportForm::~TReportForm() = default;

void TReportForm::SetMargins(double left, double top, double right, double bottom)
{
    m_marginLeft = left;
    m_marginTop = top;
    m_marginRight = right;
    m_marginBottom = bottom;
}

void TReportForm::SetColumns(int count, double spacing)
{
    m_columns = std::max(count, 1);
    m_columnSpacing = std::max(spacing, 0.0);
}

TReportBand *TReportForm::AddBand(TBandType type, double height)
{
    if (type == TBandType::SubDetail)
        return AddSubDetail(height);
    m_bands.push_back(std::make_unique<TReportBand>(this, type, height));
    return m_bands.back().get();
}

TReportSubDetail *TReportForm::AddSubDetail(double height, TReportSubDetail *master)
{
    auto band = std::make_unique<TReportSubDetail>(this, height, master);
    TReportSubDetail *raw = band.get();
    m_bands.push_back(std::move(band));
    return raw;
}

bool TReportForm::Prepare()
{
    if (m_prepared)
        return m_printed;
    m_prepared = true;
    m_pages.clear();
    m_printedAt = printedAtText();

    bool printReport = true;
    if (BeforePrint)
        BeforePrint(printReport);
    if (!printReport)
        return m_printed = false;

    std::optional<TWaitCursor> wait;
    std::unique_ptr<Tpbar> bar;
    if (m_showProgress) {
        wait.emplace();
        const int total =
            m_dataSet && m_dataSet->Active() ? m_dataSet->RecordCount() : m_progressTotal;
        bar = std::make_unique<Tpbar>(nullptr, m_title, total);
    }

    Composer composer(*this, m_pages);
    // Between records the event loop turns (once a millisecond has passed, as inside a record:
    // short records such as a member list's rows would otherwise spend more time turning it
    // than printing), so the desk keeps answering swipes.
    auto afterRecord = [&] {
        if (bar)
            bar->StepIt();
        composer.turnEventLoopNow();
    };
    if (m_dataSet) {
        eachRow(*m_dataSet, [&] {
            composer.runChildren(nullptr);
            afterRecord();
        });
    } else if (OnNeedData) {
        for (;;) {
            bool more = false;
            OnNeedData(more);
            if (!more)
                break;
            composer.runChildren(nullptr);
            afterRecord();
        }
    } else {
        composer.runChildren(nullptr);
    }
    if (!composer.pageOpen && m_pages.empty() && m_printIfEmpty)
        composer.openPage();
    composer.closePage(true);
    m_printed = !m_pages.empty();
    return m_printed;
}

// ---- Output --------------------------------------------------------------------------------

void TReportForm::DrawPage(QPainter &painter, int page) const
{
    if (page < 0 || page >= int(m_pages.size()))
        return;
    const double sx = painter.device()->logicalDpiX() / MmPerInch;
    const double sy = painter.device()->logicalDpiY() / MmPerInch;
    auto toDevice = [&](const QRectF &r) {
        return QRectF(r.left() * sx, r.top() * sy, r.width() * sx, r.height() * sy);
    };
    painter.save();
    for (const TPageItem &item : m_pages[size_t(page)].items) {
        switch (item.kind) {
        case TPageItem::Kind::Fill:
            painter.fillRect(toDevice(item.rect), item.color);
            break;
        case TPageItem::Kind::Text:
            painter.setFont(item.font);
            painter.setPen(item.color);
            painter.drawText(toDevice(item.rect), item.flags, item.text);
            break;
        case TPageItem::Kind::Line: {
            QPen pen(item.color);
            pen.setWidthF(item.penWidth * sx);
            painter.setPen(pen);
            const QRectF r = toDevice(item.rect);
            painter.drawLine(r.topLeft(), r.bottomRight());
            break;
        }
        case TPageItem::Kind::Image:
            painter.drawImage(toDevice(item.rect), item.image);
            break;
        }
    }
    painter.restore();
}

namespace {

void setupPrinter(QPrinter &printer, const TReportForm &form)
{
    printer.setFullPage(true);
    printer.setPageSize(
        QPageSize(QSizeF(form.PageWidth(), form.PageHeight()), QPageSize::Millimeter));
    printer.setPageOrientation(QPageLayout::Portrait);
    printer.setDocName(form.ReportTitle());
}

// The preview window while its pages are drawn with the event loop turning: its controls
// refuse input (a zoom, an orientation or a print would ask for the pages again, on the
// printer being painted), and it paints nothing, since the pages it shows are already freed
// by the new drawing. A close of the window stops the drawing.
class TPreviewHold
{
public:
    explicit TPreviewHold(QDialog &dialog) : m_dialog(dialog), m_wasShown(dialog.isVisible())
    {
        m_dialog.setUpdatesEnabled(false);
        m_dialog.setEnabled(false);
    }
    ~TPreviewHold()
    {
        m_dialog.setEnabled(true);
        m_dialog.setUpdatesEnabled(true);
    }
    TPreviewHold(const TPreviewHold &) = delete;
    TPreviewHold &operator=(const TPreviewHold &) = delete;

    bool Closed() const { return m_wasShown && !m_dialog.isVisible(); }

private:
    QDialog &m_dialog;
    bool m_wasShown;
};

} // namespace

bool TReportForm::drawTo(QPagedPaintDevice &device, QPainter &painter,
                         const std::function<bool()> &stop)
{
    m_drawing = true;
    const auto done = qScopeGuard([this] { m_drawing = false; });
    std::optional<TWaitCursor> wait;
    std::unique_ptr<Tpbar> bar;
    if (m_showProgress) {
        wait.emplace();
        bar = std::make_unique<Tpbar>(nullptr, m_title, PageCount());
    }
    bool drawn = true;
    for (int i = 0; i < PageCount(); ++i) {
        if (i > 0 && !device.newPage()) {
            drawn = false;
            break;
        }
        DrawPage(painter, i);
        if (bar)
            bar->StepIt();
        // Between pages the event loop turns: a long report must not hold the doors.
        QCoreApplication::processEvents();
        if (stop && stop()) {
            drawn = false;
            break;
        }
    }
    return painter.end() && drawn;
}

void TReportForm::showPreview(QWidget *parent)
{
    if (m_drawing || !Prepare())
        return;
    QPrinter printer(QPrinter::HighResolution);
    setupPrinter(printer, *this);
    QPrintPreviewDialog dialog(&printer, parent);
    dialog.setWindowTitle(m_title);
    connect(&dialog, &QPrintPreviewDialog::paintRequested, &dialog,
            [this, &dialog](QPrinter *target) {
                // The printer is being painted on already: nothing is drawn twice at once.
                if (m_drawing)
                    return;
                TPreviewHold hold(dialog);
                QPainter painter;
                if (painter.begin(target))
                    drawTo(*target, painter, [&hold] { return hold.Closed(); });
            });
    dialog.exec();
}

void TReportForm::Preview(QWidget *parent)
{
    showPreview(parent);
}

void TReportForm::PreviewModal(QWidget *parent)
{
    showPreview(parent);
}

bool TReportForm::Print(QWidget *parent)
{
    if (m_drawing)
        return false;
    if (QPrinterInfo::defaultPrinter().isNull() && QPrinterInfo::availablePrinters().isEmpty()) {
        ShowError(QStringLiteral("No printer is available."));
        return false;
    }
    if (!Prepare())
        return false;
    QPrinter printer(QPrinter::HighResolution);
    setupPrinter(printer, *this);
    QPainter painter;
    if (!printer.isValid() || !painter.begin(&printer)) {
        ShowError(QStringLiteral("The printer cannot be opened."));
        return false;
    }
    return drawTo(printer, painter);
}

bool TReportForm::ExportPdf(const QString &fileName)
{
    if (m_drawing || !Prepare())
        return false;
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    {
        QPdfWriter writer(&file);
        writer.setTitle(m_title);
        writer.setCreator(QStringLiteral("Tallyclock"));
        writer.setResolution(600);
        writer.setPageLayout(
            QPageLayout(QPageSize(QSizeF(m_pageWidth, m_pageHeight), QPageSize::Millimeter),
                        QPageLayout::Portrait, QMarginsF(0, 0, 0, 0)));
        QPainter painter;
        if (!painter.begin(&writer) || !drawTo(writer, painter))
            return false;
    }
    return file.commit();
}
