// The reader table's dialogs: "Setup" with its grid, "Enable All" and the per-port changed
// flags, and the "RFID Reader" row editor with its control rules and what it stores.

#include "dialogsfixture.h"

#include "readerlink/editcomm.h"
#include "readerlink/setup.h"
#include "store/datasetmodel.h"
#include "store/glyphs.h"
#include "store/radiogroup.h"
#include "testsupport/paramname.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QPainter>
#include <QRadioButton>
#include <QScrollBar>
#include <QSpinBox>
#include <QStyle>
#include <QStyleOptionHeader>
#include <QStyleOptionViewItem>
#include <QTableView>

#include <functional>

namespace {

using EditStep = std::function<void(Tcommedit &)>;

class SetupTest : public ReaderDialogTest
{
protected:
    // The row editor is shown (so its activation rule runs), changed by the step, and
    // confirmed or cancelled.
    static void AnswerEditor(TSetReader &setup, EditStep step, bool confirm = true,
                             int *shown = nullptr)
    {
        setup.SetDialogRunner([step, confirm, shown](QDialog &dialog) {
            auto *editor = qobject_cast<Tcommedit *>(&dialog);
            EXPECT_NE(editor, nullptr);
            if (!editor)
                return int(QDialog::Rejected);
            if (shown)
                ++*shown;
            editor->show();
            if (step)
                step(*editor);
            editor->hide();
            return int(confirm ? QDialog::Accepted : QDialog::Rejected);
        });
    }

    static int RowOfPort(TSetReader &setup, int port)
    {
        TDataSetModel &m = *setup.Model();
        for (int row = 0; row < m.rowCount(); ++row)
            if (m.ValueAt(row, TSetReader::ColPortNo).toInt() == port)
                return row;
        ADD_FAILURE() << "no row for port " << port;
        return -1;
    }

    static void EditPort(TSetReader &setup, int port)
    {
        setup.Model()->SetCurrentRow(RowOfPort(setup, port));
        setup.Button2Click();
    }

    static QString Cell(TSetReader &setup, int port, int column)
    {
        const TDataSetModel &m = *setup.Model();
        return m.data(m.index(RowOfPort(setup, port), column)).toString();
    }
};

TEST_F(SetupTest, EnableAllStoresEachPortsResultInItsOwnRow)
{
    // The rows stand in the table in another order than their ports.
    Exec(QStringLiteral("DELETE FROM reader"));
    for (int port : {5, 3, 8, 1, 2, 7, 4, 6})
        Exec(QStringLiteral("INSERT INTO reader (PORTNO, ENABLE, DESC) VALUES (%1, 0, 'Door %1')")
                 .arg(port));
    AttachSim(2);
    AttachSim(7);
    StartCore();

    TSetReader setup;
    setup.bEnableAllClick();
    EXPECT_EQ(setup.result(), QDialog::Accepted);
    for (int port = 1; port <= ReaderPortCount; ++port) {
        SCOPED_TRACE(port);
        EXPECT_EQ(ReaderValue(port, "ENABLE").toInt(), port == 2 || port == 7 ? 1 : 0);
        EXPECT_TRUE(setup.Changed(port));
        EXPECT_EQ(Readers[port]->Connected(), port == 2 || port == 7);
    }
}

TEST_F(SetupTest, EnableAllStopsAtAPortWithoutARowAndStaysOpen)
{
    Exec(QStringLiteral("DELETE FROM reader WHERE PORTNO=6"));
    AttachSim(4);
    StartCore(); // says the table is damaged
    messages.Clear();

    TSetReader setup;
    setup.bEnableAllClick();
    EXPECT_NE(setup.result(), QDialog::Accepted);
    EXPECT_EQ(ReaderValue(4, "ENABLE").toInt(), 0); // never configured: no port name to open
    for (int port = 1; port <= ReaderPortCount; ++port)
        EXPECT_EQ(setup.Changed(port), port <= 6) << port;
    EXPECT_EQ(messages.Count(), 0);
}

struct EditCase
{
    const char *name;
    const char *before; // SET clause of the row of port 3 before the edit
    EditStep step;
    TReaderRow expect; // the stored row after Confirm
};

TReaderRow Expect(bool enable, int outport, int bpport, int mode, const char *desc, int lockTime,
                  int model, bool apb, bool capture, int motion)
{
    return {3,        enable, outport, bpport,  mode,  QString::fromUtf8(desc),
            lockTime, model,  apb,     capture, motion};
}

void PrintTo(const EditCase &c, std::ostream *os)
{
    *os << c.name;
}

class EditRow : public SetupTest, public ::testing::WithParamInterface<EditCase>
{
};

TEST_P(EditRow, StoresWhatTheEditorConfirms)
{
    const EditCase &c = GetParam();
    Exec(QStringLiteral("UPDATE reader SET %1 WHERE PORTNO=3").arg(QString::fromUtf8(c.before)));
    StartCore();
    TSetReader setup;
    int shown = 0;
    AnswerEditor(setup, c.step, true, &shown);
    EditPort(setup, 3);
    EXPECT_EQ(shown, 1);

    dsrc->reader.Locate(QStringLiteral("PORTNO"), 3);
    TReaderRow stored;
    stored.portNo = ReaderValue(3, "PORTNO").toInt();
    stored.enable = ReaderValue(3, "ENABLE").toBool();
    stored.outport = ReaderValue(3, "OUTPORT").toInt();
    stored.bpport = ReaderValue(3, "BPPORT").toInt();
    stored.mode = ReaderValue(3, "MODE").toInt();
    stored.desc = ReaderValue(3, "DESC").toString();
    stored.lockTime = ReaderValue(3, "LOCKTIME").toInt();
    stored.model = ReaderValue(3, "MODEL").toInt();
    stored.apb = ReaderValue(3, "APB").toBool();
    stored.capture = ReaderValue(3, "CAPTURE").toBool();
    stored.motion = ReaderValue(3, "MOTION").toInt();
    EXPECT_EQ(stored.enable, c.expect.enable);
    EXPECT_EQ(stored.outport, c.expect.outport);
    EXPECT_EQ(stored.bpport, c.expect.bpport);
    EXPECT_EQ(stored.mode, c.expect.mode);
    EXPECT_EQ(stored.desc, c.expect.desc);
    EXPECT_EQ(stored.lockTime, c.expect.lockTime);
    EXPECT_EQ(stored.model, c.expect.model);
    EXPECT_EQ(stored.apb, c.expect.apb);
    EXPECT_EQ(stored.capture, c.expect.capture);
    EXPECT_EQ(stored.motion, c.expect.motion);
    // The reader takes the description at once; only this port is flagged.
    EXPECT_EQ(Readers[3]->Desc(), c.expect.desc);
    for (int port = 1; port <= ReaderPortCount; ++port)
        EXPECT_EQ(setup.Changed(port), port == 3) << port;
}

const char *InDoor = "ENABLE=1, MODE=1, OUTPORT=4, BPPORT=5, APB=1, LOCKTIME=6, DESC='Gate', "
                     "CAPTURE=1, MOTION=15";

INSTANTIATE_TEST_SUITE_P(Editor, EditRow,
                         ::testing::Values(EditCase{"UnchangedRowStaysAsItWas",
                                                    InDoor,
                                                    {},
                                                    Expect(true, 4, 5, 1, "Gate", 6, 0, true, true,
                                                           15)},
                                           EditCase{
                                               "ClearedDescriptionBecomesThePortName", InDoor,
                                               [](Tcommedit &e) {
                                                   Child<QLineEdit>(e, "xtext")
                                                       ->setText(QStringLiteral("   "));
                                               },
                                               Expect(true, 4, 5, 1, "COM3", 6, 0, true, true, 15)},
                                           EditCase{"DescriptionIsTrimmed", InDoor,
                                                    [](Tcommedit &e) {
                                                        Child<QLineEdit>(e, "xtext")
                                                            ->setText(
                                                                QStringLiteral("  Back door "));
                                                    },
                                                    Expect(true, 4, 5, 1, "Back door", 6, 0, true,
                                                           true, 15)},
                                           EditCase{"ClockReaderKeepsNoDoorNoBypassNoAntiPassback",
                                                    InDoor,
                                                    [](Tcommedit &e) {
                                                        auto *mode = Child<QComboBox>(e, "cbmode");
                                                        mode->setCurrentIndex(0);
                                                        e.cbmodeChange();
                                                    },
                                                    Expect(true, 0, 0, 0, "Gate", 6, 0, false, true,
                                                           15)},
                                           EditCase{
                                               "StoredClockRowLosesItsPortsOnActivation",
                                               "MODE=0, OUTPORT=4, BPPORT=5, APB=1, DESC='Gate'",
                                               {},
                                               Expect(false, 0, 0, 0, "Gate", 1, 0, false, false,
                                                      -1)},
                                           EditCase{
                                               "UncheckedBypassCaptureStoresNoMotion", InDoor,
                                               [](Tcommedit &e) {
                                                   Child<QCheckBox>(e, "cbcapbypass")
                                                       ->setChecked(false);
                                               },
                                               Expect(true, 4, 5, 1, "Gate", 6, 0, true, true, -1)},
                                           EditCase{"SingleShotStoresZero", InDoor,
                                                    [](Tcommedit &e) {
                                                        Child<QRadioButton>(e, "rbsingle")
                                                            ->setChecked(true);
                                                    },
                                                    Expect(true, 4, 5, 1, "Gate", 6,
                                                           0, true, true, 0)},
                                           EditCase{
                                               "MultipleShotStoresTheSeconds", "MOTION=0",
                                               [](Tcommedit &e) {
                                                   Child<QRadioButton>(e, "rbmultiple")
                                                       ->setChecked(true);
                                                   Child<QSpinBox>(e, "secaptime")->setValue(42);
                                               },
                                               Expect(false, 0, 0, 0, "COM3", 1, 0, false, false,
                                                      42)},
                                           // Values no control offers load as the first choice and
                                           // are stored as that.
                                           EditCase{"ValuesOutsideTheirChoicesLoadAsTheFirstChoice",
                                                    "MODE=1, OUTPORT=12, BPPORT=-3, LOCKTIME=0, "
                                                    "MODEL=4, MOTION=99",
                                                    {},
                                                    Expect(false, 0, 0, 1, "COM3", 1, 0, false,
                                                           false, -1)},
                                           EditCase{"UnknownModeLoadsAsClock",
                                                    "MODE=7, LOCKTIME=15, MOTION=-5",
                                                    {},
                                                    Expect(false, 0, 0, 0, "COM3", 1, 0, false,
                                                           false, -1)}),
                         ParamName());

TEST_F(SetupTest, EditorLoadsTheRowIntoItsControls)
{
    Exec(QStringLiteral("UPDATE reader SET ENABLE=1, MODE=2, OUTPORT=4, BPPORT=0, DESC='Gate', "
                        "LOCKTIME=7, APB=1, MODEL=1, CAPTURE=1, MOTION=15 WHERE PORTNO=3"));
    Exec(QStringLiteral("UPDATE reader SET DESC='Store room' WHERE PORTNO=4"));
    StartCore();
    TSetReader setup;
    bool checked = false;
    AnswerEditor(setup, [&checked](Tcommedit &e) {
        checked = true;
        EXPECT_EQ(e.windowTitle(), QStringLiteral("RFID Reader"));
        EXPECT_EQ(Child<QGroupBox>(e, "gbinfo")->title(), QStringLiteral("COM3"));
        EXPECT_TRUE(Child<QCheckBox>(e, "cbenable")->isChecked());
        EXPECT_TRUE(Child<QCheckBox>(e, "cbapb")->isChecked());
        EXPECT_EQ(Child<QLineEdit>(e, "xtext")->text(), QStringLiteral("Gate"));
        EXPECT_EQ(Child<QComboBox>(e, "cbmode")->currentText(), QStringLiteral("OUT"));
        QComboBox *lock = Child<QComboBox>(e, "cblock");
        ASSERT_EQ(lock->count(), 9);
        EXPECT_EQ(lock->itemText(0), QStringLiteral("DENIED"));
        EXPECT_EQ(lock->currentText(), QStringLiteral("Store room"));
        EXPECT_EQ(Child<QComboBox>(e, "cbbypass")->currentIndex(), 0);
        EXPECT_EQ(Child<QSpinBox>(e, "selock")->value(), 7);
        EXPECT_EQ(Child<TRadioGroup>(e, "rgmodel")->ItemIndex(), 1);
        EXPECT_EQ(Child<TRadioGroup>(e, "rgmodel")->ItemText(1), QStringLiteral("DL series"));
        EXPECT_TRUE(Child<QCheckBox>(e, "cbcapture")->isChecked());
        EXPECT_TRUE(Child<QCheckBox>(e, "cbcapbypass")->isChecked());
        EXPECT_TRUE(Child<QRadioButton>(e, "rbmultiple")->isChecked());
        EXPECT_EQ(Child<QSpinBox>(e, "secaptime")->value(), 15);
        EXPECT_TRUE(Child<QSpinBox>(e, "secaptime")->isEnabled());
        EXPECT_TRUE(Child<QGroupBox>(e, "gbshot")->isEnabled());
    });
    EditPort(setup, 3);
    EXPECT_TRUE(checked);
}

struct RuleCase
{
    const char *name;
    EditStep step;
    bool apb, ports, lockTime, shots, seconds; // enabled after the step
};

void PrintTo(const RuleCase &c, std::ostream *os)
{
    *os << c.name;
}

class EditorRules : public SetupTest, public ::testing::WithParamInterface<RuleCase>
{
};

TEST_P(EditorRules, EnableTheControlsThatApply)
{
    const RuleCase &c = GetParam();
    Exec(QStringLiteral("UPDATE reader SET MODE=1, MOTION=0 WHERE PORTNO=3"));
    StartCore();
    TSetReader setup;
    AnswerEditor(
        setup,
        [&c](Tcommedit &e) {
            c.step(e);
            EXPECT_EQ(Child<QCheckBox>(e, "cbapb")->isEnabled(), c.apb);
            EXPECT_EQ(Child<QComboBox>(e, "cblock")->isEnabled(), c.ports);
            EXPECT_EQ(Child<QComboBox>(e, "cbbypass")->isEnabled(), c.ports);
            EXPECT_EQ(Child<QSpinBox>(e, "selock")->isEnabled(), c.lockTime);
            EXPECT_EQ(Child<QGroupBox>(e, "gbshot")->isEnabled(), c.shots);
            EXPECT_EQ(Child<QSpinBox>(e, "secaptime")->isEnabled(), c.seconds);
        },
        false);
    EditPort(setup, 3);
    EXPECT_FALSE(setup.Changed(3)); // cancelled
}

INSTANTIATE_TEST_SUITE_P(
    Editor, EditorRules,
    ::testing::Values(
        RuleCase{"InReaderAsLoaded", [](Tcommedit &) {}, true, true, true, true, false},
        RuleCase{"ClockModeLocksTheDoorControls",
                 [](Tcommedit &e) {
                     Child<QComboBox>(e, "cbmode")->setCurrentIndex(0);
                     e.cbmodeChange();
                 },
                 false, false, false, true, false},
        RuleCase{"DlSeriesLocksThePortsAndReleaseTime",
                 [](Tcommedit &e) { Child<TRadioGroup>(e, "rgmodel")->SetItemIndex(1); }, true,
                 false, false, true, false},
        RuleCase{"MultipleShotEnablesTheSeconds",
                 [](Tcommedit &e) { Child<QRadioButton>(e, "rbmultiple")->setChecked(true); }, true,
                 true, true, true, true},
        RuleCase{"NoBypassCaptureLocksTheShotFrame",
                 [](Tcommedit &e) { Child<QCheckBox>(e, "cbcapbypass")->setChecked(false); }, true,
                 true, true, false, false}),
    ParamName());

TEST_F(SetupTest, CancelledEditAndConfirmLeaveTheRowAndReturnCancel)
{
    Exec(QStringLiteral("UPDATE reader SET DESC='Gate' WHERE PORTNO=5"));
    StartCore();
    TSetReader setup;
    AnswerEditor(
        setup, [](Tcommedit &e) { Child<QLineEdit>(e, "xtext")->setText(QStringLiteral("Other")); },
        false);
    EditPort(setup, 5);
    EXPECT_EQ(ReaderValue(5, "DESC").toString(), QStringLiteral("Gate"));
    EXPECT_EQ(Readers[5]->Desc(), QStringLiteral("Gate"));
    EXPECT_FALSE(setup.Changed(5));

    AnswerEditor(setup, {});
    EditPort(setup, 3);
    setup.Button1Click();
    EXPECT_EQ(setup.result(), QDialog::Rejected);
    for (int port = 1; port <= ReaderPortCount; ++port)
        EXPECT_EQ(setup.Changed(port), port == 3) << port;
}

QImage PaintCell(TSetReader &setup, int row, int column)
{
    auto *grid = Child<QTableView>(setup, "ports");
    const QSize size(40, 18);
    QStyleOptionViewItem option;
    option.rect = QRect(QPoint(0, 0), size);
    option.palette.setColor(QPalette::Base, Qt::white);
    QImage canvas(size, QImage::Format_RGB32);
    canvas.fill(Qt::black);
    QPainter p(&canvas);
    grid->itemDelegateForColumn(column)->paint(&p, option, grid->model()->index(row, column));
    return canvas;
}

QImage Reference(const std::function<void(QPainter &, const QRect &)> &draw)
{
    const QSize size(40, 18);
    QImage canvas(size, QImage::Format_RGB32);
    canvas.fill(Qt::black);
    QPainter p(&canvas);
    p.setBrush(QColor(Qt::white));
    draw(p, QRect(QPoint(0, 0), size));
    return canvas;
}

TEST_F(SetupTest, GridShowsTheTableAndAStopSignForAPortThatDidNotOpen)
{
    AttachSim(2);
    Exec(QStringLiteral("UPDATE reader SET ENABLE=1, MODE=1, OUTPORT=2, BPPORT=0, LOCKTIME=4, "
                        "DESC='Front' WHERE PORTNO=2"));
    Exec(QStringLiteral("UPDATE reader SET ENABLE=1, MODE=2, OUTPORT=2 WHERE PORTNO=4"));
    StartCore();
    TSetReader setup;
    EXPECT_EQ(setup.windowTitle(), QStringLiteral("Setup"));
    ASSERT_EQ(setup.Model()->rowCount(), 8);
    EXPECT_EQ(Cell(setup, 4, TSetReader::ColPortNo), QStringLiteral("COM4"));
    EXPECT_EQ(Cell(setup, 4, TSetReader::ColMode), QStringLiteral("OUT"));
    EXPECT_EQ(Cell(setup, 1, TSetReader::ColMode), QStringLiteral("CLOCK"));
    EXPECT_EQ(Cell(setup, 4, TSetReader::ColOutport), QStringLiteral("Front"));
    EXPECT_EQ(Cell(setup, 2, TSetReader::ColBpport), QStringLiteral("DENIED"));
    EXPECT_EQ(Cell(setup, 2, TSetReader::ColLockTime), QStringLiteral("4 SEC"));

    const QImage stop = Reference([](QPainter &p, const QRect &r) { DrawStopGlyph(p, r); });
    const QImage check = Reference([](QPainter &p, const QRect &r) { DrawCheckGlyph(p, r, true); });
    const QImage uncheck =
        Reference([](QPainter &p, const QRect &r) { DrawCheckGlyph(p, r, false); });
    EXPECT_EQ(PaintCell(setup, RowOfPort(setup, 4), TSetReader::ColEnable), stop);
    EXPECT_EQ(PaintCell(setup, RowOfPort(setup, 2), TSetReader::ColEnable), check);
    EXPECT_EQ(PaintCell(setup, RowOfPort(setup, 1), TSetReader::ColEnable), uncheck);
}

TEST_F(SetupTest, GridTitlesShowWholeAndEveryColumnFitsTheDialog)
{
    // The design's widths, each a minimum.
    const int designWidths[] = {0, 46, 74, 66, 67, 62, 78, 54, 48, 0};
    StartCore();
    TSetReader setup;
    setup.show();
    ASSERT_EQ(setup.width(), 640);
    QTableView *grid = setup.findChild<QTableView *>(QStringLiteral("ports"));
    ASSERT_NE(grid, nullptr);
    QHeaderView *header = grid->horizontalHeader();
    const QFontMetrics fm = header->fontMetrics();
    for (int c = 0; c < TSetReader::ColumnCount; ++c) {
        const QString title = grid->model()->headerData(c, Qt::Horizontal).toString();
        SCOPED_TRACE(title.toStdString());
        EXPECT_GE(header->sectionSize(c), designWidths[c]);
        // The title as the header draws it, wrapped at its blanks inside its section.
        const int flags = Qt::AlignCenter | Qt::TextWordWrap;
        QStyleOptionHeader option;
        option.initFrom(header);
        option.rect = QRect(0, 0, header->sectionSize(c), header->height());
        option.section = c;
        option.text = title;
        const QRect room = header->style()->subElementRect(QStyle::SE_HeaderLabel, &option, header);
        const QRect needed = fm.boundingRect(QRect(0, 0, room.width(), 1000), flags, title);
        EXPECT_LE(needed.width(), room.width());
        EXPECT_LE(needed.height(), room.height());
        EXPECT_EQ(header->model()->headerData(c, Qt::Horizontal, Qt::TextAlignmentRole).toInt() &
                      Qt::TextWordWrap,
                  Qt::TextWordWrap);
    }
    // "Motion" too without scrolling sideways.
    EXPECT_LE(header->length(), grid->viewport()->width());
    EXPECT_FALSE(grid->horizontalScrollBar()->isVisible());
}

TEST_F(SetupTest, GridOutlivesTheReaderTableClosingUnderIt)
{
    StartCore();
    TSetReader setup;
    ASSERT_EQ(setup.Model()->rowCount(), 8);
    // Setting every reader up again closes the table under the open grid.
    core->DisconnectAllReaders();
    core->SetupAllReaders();
    EXPECT_FALSE(dsrc->reader.Active());
    EXPECT_EQ(setup.Model()->rowCount(), 0);
    setup.Button2Click(); // nothing to edit, nothing shown
    setup.bEnableAllClick();
    EXPECT_NE(setup.result(), QDialog::Accepted);
    dsrc->reader.Open();
    EXPECT_EQ(setup.Model()->rowCount(), 8);
    EXPECT_EQ(Cell(setup, 3, TSetReader::ColPortNo), QStringLiteral("COM3"));
}

} // namespace
