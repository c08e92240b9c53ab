#pragma once
// `TReportForm`: the banded report engine every printed report is built on. A report lays out
// bands (page header, page footer, column header, sub-detail) holding printable controls
// (labels, data texts, images, lines, system data); the engine asks the report for records,
// prints the bands in order, breaks pages, and composes the pages ONCE into a display list that
// preview, print and PDF then draw alike. Main thread only.
//
// How to build a report with it:
//
//   class TMyReport : public TReportForm {
//   public:
//       explicit TMyReport(QObject *owner) : TReportForm(owner) {
//           SetReportTitle("My Report");
//           auto *header = AddBand(TBandType::PageHeader, 20);    // height in mm
//           header->AddSysData(TSysDataKind::ReportTitle, {0, 2, 180, 9})->SetCentred();
//           auto *line = AddSubDetail(6);                          // master: the report
//           m_label = line->AddLabel("qrline", {0, 0, 180, 6});   // x, y, w, h in mm
//           m_label->OnPrint = [this](QString &text) { text = ...; };
//           line->OnNeedData = [this](bool &more) { more = ...; }; // repeats while true
//           OnNeedData = [this](bool &more) { more = ...; };       // one call per record
//       }
//   };
//   TMyReport report(nullptr);
//   RunReport(report, preview);           // the desk's way: through the report-output seam
//   report.ExportPdf("/tmp/x.pdf");       // or straight to a file
//
// Printing order for each report record: the sub-detail bands whose master is the report, in
// the order they were added; after each print of a sub-detail band, the bands whose master it
// is. A band with a dataset repeats once per row of it (each row once, whatever a callback
// does with the cursor); with an `OnNeedData` while that says
// true; with neither, once when `PrintIfEmpty` is set and not at all otherwise. A band's
// `BeforePrint` and its labels' `OnPrint` run exactly once per print of the band, also when it
// moves to the next page. A report bound to a dataset takes one record per row; without one it
// asks `OnNeedData` before each record, or prints one record when that is not set.
// Page header and footer print on every page (see `FirstPageHeader`, `LastPageFooter`); the
// footer sits at the page bottom. `ForceNewPage` starts a page before the band, except when
// nothing is on the current page yet. `LinkBand` keeps a band on the page of the band it names.
// A band grows to hold what its controls print; one taller than a page goes on over the next
// pages, cut between its lines.

#include <QColor>
#include <QFont>
#include <QImage>
#include <QMarginsF>
#include <QObject>
#include <QRectF>
#include <QString>
#include <functional>
#include <memory>
#include <vector>

class QPagedPaintDevice;
class QPainter;
class QWidget;
class TDataSet;
class TReportBand;
class TReportForm;
class TReportLabel;

// Sides of a frame, combinable.
enum TFrameSide : unsigned
{
    FrameNone = 0,
    FrameLeft = 1,
    FrameTop = 2,
    FrameRight = 4,
    FrameBottom = 8,
    FrameAll = 15,
};

enum class TBandType
{
    PageHeader,
    PageFooter,
    ColumnHeader,
    SubDetail,
};

enum class TSysDataKind
{
    DateTime,    // the moment the report was composed
    PageNumber,  // the page the control is on, from 1
    ReportTitle, // the form's `ReportTitle`
};

enum class TShapeKind
{
    HorzLine, // across the middle of its rectangle
    VertLine,
    Rectangle,
};

// One thing drawn on a page, in millimetres from the page's top-left corner.
struct TPageItem
{
    enum class Kind
    {
        Fill,
        Text,
        Line,
        Image,
    };
    Kind kind = Kind::Text;
    QRectF rect;
    QString text;
    QFont font;
    int flags = 0; // Qt::AlignmentFlag (and Qt::TextDontClip) for text: one line each
    QColor color;  // fill, text or line colour
    QImage image;
    double penWidth = 0.2; // mm
};

struct TReportPage
{
    std::vector<TPageItem> items;
    std::vector<QRectF> bands; // where each band printed on the page lies, in mm
};

// Base of the printable controls: a rectangle in mm inside its band.
class TReportControl
{
public:
    TReportControl(TReportBand *band, const QRectF &rect);
    virtual ~TReportControl();
    TReportControl(const TReportControl &) = delete;
    TReportControl &operator=(const TReportControl &) = delete;

    TReportBand *Band() const { return m_band; }
    QRectF Rect() const { return m_rect; }
    void SetRect(const QRectF &rect) { m_rect = rect; }
    bool Enabled() const { return m_enabled; }
    void SetEnabled(bool enabled) { m_enabled = enabled; }
    unsigned Frame() const { return m_frame; }
    void SetFrame(unsigned sides) { m_frame = sides; }

    // Produces this control's items for one print of its band, placed at origin (mm); grows
    // `height` when its content needs more room than the band was given. `bandWidth` is the
    // width the band prints in. Called by the engine.
    virtual void Render(std::vector<TPageItem> &out, double &height, double bandWidth) = 0;
    // Page-dependent content is filled in once the page is known (page numbers).
    virtual void Place(TPageItem &, int pageNumber) {}

protected:
    void addFrame(std::vector<TPageItem> &out, const QRectF &rect) const;

    TReportBand *m_band;
    QRectF m_rect;
    bool m_enabled = true;
    unsigned m_frame = FrameNone;
};

// Text control base: font, alignment, word wrap, auto size, transparency. A text is never cut:
// one that is wider than its box first widens it (auto size, up to the band's edge), then wraps
// at blanks onto more lines (or anywhere inside a word longer than a line), the box and its
// band growing down to hold them; a control that may not grow shrinks its font instead.
class TReportText : public TReportControl
{
public:
    TReportText(TReportBand *band, const QRectF &rect);

    QFont Font() const { return m_font; }
    void SetFont(const QFont &font) { m_font = font; }
    Qt::Alignment Alignment() const { return m_alignment; }
    void SetAlignment(Qt::Alignment alignment) { m_alignment = alignment; }
    void SetCentred() { m_alignment = Qt::AlignHCenter | Qt::AlignTop; }
    bool AutoSize() const { return m_autoSize; }
    void SetAutoSize(bool on) { m_autoSize = on; }
    bool WordWrap() const { return m_wordWrap; }
    void SetWordWrap(bool on) { m_wordWrap = on; }
    // For a box that cannot grow (a card's field): the font gets smaller until the text fits
    // on one line.
    bool ShrinkToFit() const { return m_shrinkToFit; }
    void SetShrinkToFit(bool on) { m_shrinkToFit = on; }
    bool Transparent() const { return m_transparent; }
    void SetTransparent(bool on) { m_transparent = on; }
    QColor Color() const { return m_color; } // background when not transparent
    void SetColor(const QColor &color) { m_color = color; }
    QColor FontColor() const { return m_fontColor; }
    void SetFontColor(const QColor &color) { m_fontColor = color; }

protected:
    // Adds the text (one run a line) with its background and frame.
    void renderText(const QString &text, std::vector<TPageItem> &out, double &height,
                    double bandWidth);

    QFont m_font;
    Qt::Alignment m_alignment = Qt::AlignLeft | Qt::AlignTop;
    bool m_autoSize = false;
    bool m_wordWrap = false;
    bool m_shrinkToFit = false;
    bool m_transparent = true;
    QColor m_color = Qt::white;
    QColor m_fontColor = Qt::black;
};

// A caption; `OnPrint` may change the text of each print (it enters holding the caption).
class TReportLabel : public TReportText
{
public:
    TReportLabel(TReportBand *band, const QString &name, const QRectF &rect);

    QString Name() const { return m_name; }
    QString Caption() const { return m_caption; }
    void SetCaption(const QString &caption) { m_caption = caption; }

    std::function<void(QString &value)> OnPrint;

    void Render(std::vector<TPageItem> &out, double &height, double bandWidth) override;

private:
    QString m_name;
    QString m_caption;
};

// The text of one field of a dataset's current row.
class TReportDBText : public TReportText
{
public:
    TReportDBText(TReportBand *band, TDataSet *dataSet, const QString &field, const QRectF &rect);
    void Render(std::vector<TPageItem> &out, double &height, double bandWidth) override;

private:
    TDataSet *m_dataSet;
    QString m_field;
};

// A picture, stretched to the rectangle or drawn at its size (keeping within the rectangle).
class TReportImage : public TReportControl
{
public:
    TReportImage(TReportBand *band, const QRectF &rect);
    QImage Picture() const { return m_picture; }
    void SetPicture(const QImage &picture) { m_picture = picture; }
    bool Stretch() const { return m_stretch; }
    void SetStretch(bool on) { m_stretch = on; }
    void Render(std::vector<TPageItem> &out, double &height, double bandWidth) override;

private:
    QImage m_picture;
    bool m_stretch = false;
};

// A line or a rectangle outline.
class TReportShape : public TReportControl
{
public:
    TReportShape(TReportBand *band, TShapeKind kind, const QRectF &rect);
    void SetPenWidth(double mm) { m_penWidth = mm; }
    void Render(std::vector<TPageItem> &out, double &height, double bandWidth) override;

private:
    TShapeKind m_kind;
    double m_penWidth = 0.2;
};

// Printing date-time, page number or report title, after a prefix text.
class TReportSysData : public TReportText
{
public:
    TReportSysData(TReportBand *band, TSysDataKind kind, const QRectF &rect);
    void SetText(const QString &prefix) { m_prefix = prefix; }
    QString Text() const { return m_prefix; }
    void Render(std::vector<TPageItem> &out, double &height, double bandWidth) override;
    void Place(TPageItem &item, int pageNumber) override;

private:
    TSysDataKind m_kind;
    QString m_prefix;
};

class TReportBand
{
public:
    TReportBand(TReportForm *form, TBandType type, double height);
    virtual ~TReportBand();
    TReportBand(const TReportBand &) = delete;
    TReportBand &operator=(const TReportBand &) = delete;

    TReportForm *Form() const { return m_form; }
    TBandType Type() const { return m_type; }
    double Height() const { return m_height; }
    void SetHeight(double mm) { m_height = mm; }
    QColor Color() const { return m_color; } // invalid: no fill
    void SetColor(const QColor &color) { m_color = color; }
    bool ForceNewPage() const { return m_forceNewPage; }
    void SetForceNewPage(bool on) { m_forceNewPage = on; }
    TReportBand *LinkBand() const { return m_linkBand; }
    void SetLinkBand(TReportBand *band) { m_linkBand = band; }
    bool PrintIfEmpty() const { return m_printIfEmpty; }
    void SetPrintIfEmpty(bool on) { m_printIfEmpty = on; }
    unsigned Frame() const { return m_frame; }
    void SetFrame(unsigned sides) { m_frame = sides; }

    // PrintBand enters true; false skips this one print of the band.
    std::function<void(bool &printBand)> BeforePrint;

    // Controls, owned by the band, printed in the order added. Rectangles in mm in the band.
    TReportLabel *AddLabel(const QString &name, const QRectF &rect);
    TReportDBText *AddDBText(TDataSet *dataSet, const QString &field, const QRectF &rect);
    TReportImage *AddImage(const QRectF &rect);
    TReportShape *AddShape(TShapeKind kind, const QRectF &rect);
    TReportSysData *AddSysData(TSysDataKind kind, const QRectF &rect);
    const std::vector<std::unique_ptr<TReportControl>> &Controls() const { return m_controls; }

private:
    template <typename T> T *add(std::unique_ptr<T> control);

    TReportForm *m_form;
    TBandType m_type;
    double m_height;
    QColor m_color;
    bool m_forceNewPage = false;
    TReportBand *m_linkBand = nullptr;
    bool m_printIfEmpty = false;
    unsigned m_frame = FrameNone;
    std::vector<std::unique_ptr<TReportControl>> m_controls;
};

class TReportSubDetail : public TReportBand
{
public:
    TReportSubDetail(TReportForm *form, double height, TReportSubDetail *master);

    // nullptr: the report is the master.
    TReportSubDetail *Master() const { return m_master; }
    void SetMaster(TReportSubDetail *master) { m_master = master; }
    TDataSet *DataSet() const { return m_dataSet; }
    void SetDataSet(TDataSet *dataSet) { m_dataSet = dataSet; }

    // Asked before each print; the band repeats while it answers true.
    std::function<void(bool &moreData)> OnNeedData;

private:
    TReportSubDetail *m_master;
    TDataSet *m_dataSet = nullptr;
};

class TReportForm : public QObject
{
    Q_OBJECT

public:
    explicit TReportForm(QObject *owner = nullptr);
    ~TReportForm() override;

    // Page, in mm; A4 portrait by default.
    double PageWidth() const { return m_pageWidth; }
    double PageHeight() const { return m_pageHeight; }
    void SetMargins(double left, double top, double right, double bottom);
    QMarginsF Margins() const { return {m_marginLeft, m_marginTop, m_marginRight, m_marginBottom}; }
    // Sub-detail bands flow down the columns of a page, left to right.
    void SetColumns(int count, double spacing);
    QFont Font() const { return m_font; } // given to each control made after it is set
    void SetFont(const QFont &font) { m_font = font; }
    QString ReportTitle() const { return m_title; }
    void SetReportTitle(const QString &title) { m_title = title; }
    bool ShowProgress() const { return m_showProgress; }
    void SetShowProgress(bool on) { m_showProgress = on; }
    // Gauge length of the progress window when no dataset is bound (records expected).
    void SetProgressTotal(int records) { m_progressTotal = records; }
    TDataSet *DataSet() const { return m_dataSet; }
    void SetDataSet(TDataSet *dataSet) { m_dataSet = dataSet; }
    bool FirstPageHeader() const { return m_firstPageHeader; }
    void SetFirstPageHeader(bool on) { m_firstPageHeader = on; }
    bool LastPageFooter() const { return m_lastPageFooter; }
    void SetLastPageFooter(bool on) { m_lastPageFooter = on; }
    // A report that produced no band still gets its (header and footer) page.
    bool PrintIfEmpty() const { return m_printIfEmpty; }
    void SetPrintIfEmpty(bool on) { m_printIfEmpty = on; }

    // PrintReport enters true; false prints nothing.
    std::function<void(bool &printReport)> BeforePrint;
    // MoreData enters false; the report produces a record while it answers true.
    std::function<void(bool &moreData)> OnNeedData;

    // Bands, owned by the form. A sub-detail band's master is the report unless given.
    TReportBand *AddBand(TBandType type, double height);
    TReportSubDetail *AddSubDetail(double height, TReportSubDetail *master = nullptr);

    // Composes the pages (once; later calls reuse them). False when the report refused to
    // print (`BeforePrint`) or produced no page.
    bool Prepare();
    const std::vector<TReportPage> &Pages() const { return m_pages; }
    int PageCount() const { return int(m_pages.size()); }

    // Outputs of the composed pages. Preview and PreviewModal show the preview window and
    // return when it closes; Print goes to the default printer and says in a message box
    // when there is none or it cannot be opened (false then); ExportPdf writes the file whole
    // or not at all, titled with the report title. Each draws the pages one at a time with
    // the event loop turning between them; while one draws, the others refuse (false) and
    // the preview window takes no input (closing it stops the drawing).
    void Preview(QWidget *parent = nullptr);
    void PreviewModal(QWidget *parent = nullptr);
    bool Print(QWidget *parent = nullptr);
    bool ExportPdf(const QString &fileName);

    // Draws one composed page on a painter whose device is a whole page.
    void DrawPage(QPainter &painter, int page) const;
    // Whether the pages are being drawn now.
    bool Drawing() const { return m_drawing; }

private:
    friend class TReportLabel;
    friend class TReportSysData;
    struct Composer;

    // Every page on the device, the event loop turning between pages, until `stop` says so;
    // ends the painter. True when every page was drawn and the painter ended well.
    bool drawTo(QPagedPaintDevice &device, QPainter &painter,
                const std::function<bool()> &stop = {});
    void showPreview(QWidget *parent);

    std::vector<std::unique_ptr<TReportBand>> m_bands;
    std::vector<TReportPage> m_pages;
    bool m_prepared = false;
    bool m_printed = false;
    bool m_drawing = false;
    QString m_printedAt; // composed-at date-time text for the system data

    double m_pageWidth = 210;
    double m_pageHeight = 297;
    double m_marginLeft = 10, m_marginTop = 10, m_marginRight = 10, m_marginBottom = 10;
    int m_columns = 1;
    double m_columnSpacing = 0;
    QFont m_font;
    QString m_title;
    bool m_showProgress = false;
    int m_progressTotal = 0;
    TDataSet *m_dataSet = nullptr;
    bool m_firstPageHeader = true;
    bool m_lastPageFooter = true;
    bool m_printIfEmpty = false;
};

// A font by the family names reports use ("Courier New", "Arial"), with the matching style
// hint so that a machine without those faces picks a look-alike.
QFont ReportFont(const QString &family, double pointSize, bool underline = false);

// Receives every printed label's final text, in printing order (tests read exact blanks
// here). Install one for a scope; returns the hook it replaces. Main thread only.
using TLabelTextHook = std::function<void(const TReportLabel &label, const QString &text)>;
TLabelTextHook SetLabelTextHook(TLabelTextHook hook);
