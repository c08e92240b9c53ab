#include "readerlink/setup.h"

#include "readerlink/editcomm.h"
#include "readerlink/reader.h"
#include "store/datasetmodel.h"
#include "store/datasrc.h"
#include "store/dbschema.h"
#include "store/formplacement.h"
#include "store/glyphs.h"
#include "store/guard.h"
#include "store/settings.h"
#include "store/utils.h"
#include "ui_setup.h"

#include <QAction>
#include <QFontMetrics>
#include <QHeaderView>
#include <QLayout>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QStyle>
#include <QTableView>

#include <algorithm>
#include <exception>

namespace {

const QString PlacementName = QStringLiteral("CommSetup");
const QString ColumnWidthsName = QStringLiteral("GridCommSetup");

std::vector<TGridColumn> readerColumns()
{
    auto column = [](const QString &field, const char *title, ColumnKind kind,
                     std::function<QString(const QVariant &)> text = {}) {
        TGridColumn c;
        c.field = field;
        c.title = QString::fromLatin1(title);
        c.alignment = Qt::AlignLeft | Qt::AlignTop;
        // Titles wrap at their blanks rather than being cut in a narrow column.
        c.titleAlignment = Qt::Alignment::fromInt(int(Qt::AlignCenter) | Qt::TextWordWrap);
        c.kind = kind;
        c.text = std::move(text);
        return c;
    };
    const auto portName = [](const QVariant &v) { return GetPortName(v.toInt()); };
    return {
        column(Schema::Reader::PortNo, "Reader On", ColumnKind::Other,
               [](const QVariant &v) { return QStringLiteral("COM") + v.toString(); }),
        column(Schema::Reader::Enable, "Enabled", ColumnKind::Boolean),
        column(Schema::Reader::Desc, "Description", ColumnKind::Other),
        column(Schema::Reader::Mode, "Mode", ColumnKind::Other,
               [](const QVariant &v) { return GetModeName(v.toInt()); }),
        column(Schema::Reader::OutPort, "Card Action", ColumnKind::Other, portName),
        column(Schema::Reader::BpPort, "Bypass Action", ColumnKind::Other, portName),
        column(Schema::Reader::LockTime, "Release Time", ColumnKind::Other,
               [](const QVariant &v) { return v.toString() + QStringLiteral(" SEC"); }),
        column(Schema::Reader::Apb, "Anti Passback", ColumnKind::Boolean),
        column(Schema::Reader::Capture, "Capture", ColumnKind::Boolean),
        column(Schema::Reader::Motion, "Motion", ColumnKind::Other),
    };
}

// The design's widths; "Reader On" and "Motion" take what their titles need.
const QList<int> OwnWidths = {1, 46, 74, 66, 67, 62, 78, 54, 48, 1};

// Every column at least its design width and as wide as the longest word of its title, and
// the header as tall as the titles wrapped onto their lines, so that no title is cut and the
// columns still fit the dialog side by side.
void fitColumnTitles(QTableView *grid, const QList<int> &minimums)
{
    QHeaderView *header = grid->horizontalHeader();
    const QAbstractItemModel *model = grid->model();
    const QFontMetrics fm = header->fontMetrics();
    const int margin = 2 * header->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, header);
    int lines = 1;
    for (int c = 0; c < model->columnCount(); ++c) {
        const QString title = model->headerData(c, Qt::Horizontal).toString();
        int widest = 0;
        for (const QString &word : title.split(QLatin1Char(' '), Qt::SkipEmptyParts))
            widest = std::max(widest, fm.horizontalAdvance(word));
        const int least = std::max(c < minimums.size() ? minimums[c] : 0, widest + margin + 2);
        const int width = std::max(grid->columnWidth(c), least);
        grid->setColumnWidth(c, width);
        const QRect wrapped = fm.boundingRect(QRect(0, 0, width - margin - 2, 1000),
                                              Qt::AlignCenter | Qt::TextWordWrap, title);
        lines = std::max(lines, (wrapped.height() + fm.lineSpacing() - 1) / fm.lineSpacing());
    }
    header->setMinimumHeight(lines * fm.lineSpacing() + 2 * margin);
}

// The enabled cell: a stop sign where the row is enabled but that port's reader did not open.
class EnableDelegate : public TGlyphDelegate
{
    Q_OBJECT

public:
    explicit EnableDelegate(QObject *parent) : TGlyphDelegate(Kind::Boolean, parent) {}

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override
    {
        const int port = index.siblingAtColumn(TSetReader::ColPortNo).data(FieldValueRole).toInt();
        const TRfidReader *reader = ReaderOn(port);
        if (!index.data(FieldValueRole).toBool() || !reader || reader->Enable()) {
            TGlyphDelegate::paint(painter, option, index);
            return;
        }
        painter->save();
        painter->setBrush((option.state & QStyle::State_Selected) ? option.palette.highlight()
                                                                  : option.palette.base());
        DrawStopGlyph(*painter, option.rect);
        painter->restore();
    }
};

} // namespace

TSetReader::TSetReader(QWidget *parent) : QDialog(parent), m_ui(std::make_unique<Ui::TSetReader>())
{
    m_ui->setupUi(this);
    TDataSet &table = dsrc->reader;
    if (!table.Active())
        table.Open();
    m_model = std::make_unique<TDataSetModel>(table, readerColumns());
    QTableView *grid = m_ui->ports;
    grid->setModel(m_model.get());
    m_model->FollowView(grid);
    grid->setItemDelegateForColumn(ColEnable, new EnableDelegate(grid));
    for (const int column : {ColApb, ColCapture})
        grid->setItemDelegateForColumn(column,
                                       new TGlyphDelegate(TGlyphDelegate::Kind::Boolean, grid));
    grid->setItemDelegateForColumn(ColMotion,
                                   new TGlyphDelegate(TGlyphDelegate::Kind::Camera, grid));

    m_popup = new QMenu(this);
    QAction *editRecord = m_popup->addAction(QStringLiteral("Edit record"));
    connect(editRecord, &QAction::triggered, this, Guarded(this, &TSetReader::Button2Click));
    connect(grid, &QWidget::customContextMenuRequested, this, [this](const QPoint &pos) {
        m_popup->popup(m_ui->ports->viewport()->mapToGlobal(pos));
    });
    connect(grid, &QTableView::doubleClicked, this, Guarded(this, &TSetReader::Button2Click));
    connect(m_ui->Button2, &QPushButton::clicked, this, Guarded(this, &TSetReader::Button2Click));
    connect(m_ui->Button1, &QPushButton::clicked, this, Guarded(this, &TSetReader::Button1Click));
    connect(m_ui->bEnableAll, &QPushButton::clicked, this,
            Guarded(this, &TSetReader::bEnableAllClick));

    LoadFormPlacement(PlacementName, this);
    // Ten columns in a 640 pixel dialog: no row numbers beside them, titles in the plain font
    // (a selected row would make them all bold and wider).
    grid->verticalHeader()->hide();
    grid->horizontalHeader()->setHighlightSections(false);
    layout()->setContentsMargins(6, 6, 6, 6);
    LoadGridColumnWidths(ColumnWidthsName, grid, OwnWidths);
    fitColumnTitles(grid, OwnWidths);
}

TSetReader::~TSetReader()
{
    RunGuarded([this] {
        SaveFormPlacement(PlacementName, this);
        SaveGridColumnWidths(ColumnWidthsName, m_ui->ports);
    });
    // The view lets go of the model before the model goes.
    m_ui->ports->setModel(nullptr);
    dsrc->reader.Close();
}

void TSetReader::SetDialogRunner(DialogRunner runner)
{
    m_dialogs.Set(std::move(runner));
}

bool TSetReader::Changed(int port) const
{
    return port >= 1 && port <= ReaderPortCount && m_changed[static_cast<std::size_t>(port)];
}

void TSetReader::Button2Click()
{
    TDataSet &table = dsrc->reader;
    // The row the user chose, wherever other lookups have moved the cursor since.
    if (!table.Active() || !m_model->MoveToCurrentRow())
        return;
    const int port = table.FieldByName(Schema::Reader::PortNo).AsInteger();
    Tcommedit editor(this);
    editor.SetModelNames({GetReaderModelName(0), GetReaderModelName(1)});
    // Filling the port lists moved the cursor.
    if (!table.Locate(Schema::Reader::PortNo, port))
        return;
    editor.LoadRow(ReadReaderRow(table));
    if (m_dialogs.Run(editor) == QDialog::Accepted) {
        // Flagged first: the reader is set up again even when the write fails.
        m_changed[static_cast<std::size_t>(port)] = true;
        const TReaderRow row = editor.Row();
        try {
            WriteReaderRow(table, row);
            if (TRfidReader *reader = ReaderOn(port))
                reader->SetDesc(row.desc);
        } catch (const std::exception &e) {
            qWarning("Reader row %d: %s", port, e.what());
        }
    }
    m_ui->ports->viewport()->update();
}

void TSetReader::Button1Click()
{
    reject();
}

void TSetReader::bEnableAllClick()
{
    TDataSet &table = dsrc->reader;
    if (!table.Active())
        return;
    const bool complete = EnableAllReaders(table, m_changed);
    m_ui->ports->viewport()->update();
    if (complete)
        accept();
}

#include "setup.moc"
