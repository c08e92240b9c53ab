// The log grid's cells in words, its titles and widths, and the grid's own commands: the
// double click, "Delete this Attendance Record" and CheckLogEmpty.

#include "desk/deskcore.h"
#include "desk/loggridmodel.h"
#include "windowfixture.h"

#include "store/settings.h"
#include "store/utils.h"

#include <QFile>
#include <QGroupBox>
#include <QHeaderView>
#include <QStyle>
#include <QTableView>
#include <gtest/gtest.h>

namespace {

QTableView *grid(TTimeRec &w)
{
    return w.findChild<QTableView *>(QStringLiteral("info"));
}

QString cell(TTimeRec &w, int row, int column)
{
    const QAbstractItemModel *m = grid(w)->model();
    return m->data(m->index(row, column)).toString();
}

void touch(const QString &file)
{
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly)) << file.toStdString();
    f.write("jpeg");
}

class LogGridTest : public WindowTest
{
};

TEST_F(LogGridTest, CellsReadInWords)
{
    dsrc->src.Exec(QStringLiteral("update reader set DESC = 'Front Door' where PORTNO = 1"));
    const int group = AddGroup(QStringLiteral("Night Shift"));
    AddStaff(4321, QStringLiteral("Alice Wong"), group);
    const QDateTime t(QDate(2026, 3, 5), QTime(14, 7, 9));
    struct Row
    {
        int card, mode, reader, lock;
        const char *cardText, *modeText, *readerText, *lockText;
    };
    const Row rows[] = {
        {4321, 1, 1, 1, "Alice Wong, Night Shift", "IN", "Front Door", "Front Door"},
        {-1, 0, 2, 0, "[-1]", "CLOCK", "COM2", "DENIED"},
        {777, 2, 9, 0, "[777]", "OUT", "ERROR", "DENIED"},
        {4321, 7, 8, -3, "Alice Wong, Night Shift", "N/A", "COM8", "ERROR"},
    };
    for (int i = 0; i < int(std::size(rows)); ++i)
        AddLog(t.addSecs(i), rows[i].card, rows[i].mode, rows[i].reader, rows[i].lock);

    TTimeRec &w = OpenWindow();
    ASSERT_EQ(grid(w)->model()->rowCount(), int(std::size(rows)));
    for (int i = 0; i < int(std::size(rows)); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(cell(w, i, LogGridModel::ColCardNo), QString::fromUtf8(rows[i].cardText));
        EXPECT_EQ(cell(w, i, LogGridModel::ColMode), QString::fromUtf8(rows[i].modeText));
        EXPECT_EQ(cell(w, i, LogGridModel::ColReader), QString::fromUtf8(rows[i].readerText));
        EXPECT_EQ(cell(w, i, LogGridModel::ColLock), QString::fromUtf8(rows[i].lockText));
    }
    EXPECT_EQ(cell(w, 0, LogGridModel::ColSystime),
              FormatDateTime(QStringLiteral("mmm d, yyyy ddd - AM/PM hh:mm:ss"), t));
    EXPECT_TRUE(cell(w, 0, LogGridModel::ColSystime).startsWith(QStringLiteral("Mar 5, 2026")));
    EXPECT_TRUE(cell(w, 0, LogGridModel::ColSystime).endsWith(QStringLiteral("PM 02:07:09")));
    // Newest last, and the grid stands on it.
    EXPECT_EQ(w.CurrentLogRow(), int(std::size(rows)) - 1);
    EXPECT_EQ(w.findChild<QGroupBox *>(QStringLiteral("logs"))->title(),
              QStringLiteral("4 record(s)"));
}

TEST_F(LogGridTest, TitlesCentredAndTheGridsOwnWidthsWhenNoneAreSaved)
{
    TTimeRec &w = OpenWindow();
    QAbstractItemModel *m = grid(w)->model();
    const QHeaderView *header = grid(w)->horizontalHeader();
    const char *titles[] = {"Date and Time", "Card Information", "Mode", "Reader", "Lock"};
    // The grid's own widths; the date column is widened where this font needs more room.
    const int widths[] = {185, 165, 100, 100, 100};
    const int margins = 2 * header->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, header);
    ASSERT_EQ(m->columnCount(), 5);
    for (int c = 0; c < 5; ++c) {
        SCOPED_TRACE(c);
        const QString title = QString::fromLatin1(titles[c]);
        EXPECT_EQ(m->headerData(c, Qt::Horizontal).toString(), title);
        EXPECT_EQ(m->headerData(c, Qt::Horizontal, Qt::TextAlignmentRole).toInt(),
                  int(Qt::AlignCenter));
        if (c == LogGridModel::ColSystime)
            EXPECT_GE(grid(w)->columnWidth(c), widths[c]);
        else
            EXPECT_EQ(grid(w)->columnWidth(c), widths[c]);
        // The title is not clipped.
        EXPECT_LE(header->fontMetrics().horizontalAdvance(title) + margins,
                  grid(w)->columnWidth(c));
    }
    EXPECT_EQ(w.findChild<QGroupBox *>(QStringLiteral("logs"))->title(),
              QStringLiteral("no record"));
    // A swipe's date and time, up to its seconds, is not cut off.
    AddLog(QDateTime(QDate(2026, 12, 10), QTime(23, 58, 58)), 1);
    const QString when = cell(w, 0, LogGridModel::ColSystime);
    EXPECT_LE(grid(w)->fontMetrics().horizontalAdvance(when) + 6, grid(w)->columnWidth(0))
        << when.toStdString();
}

TEST_F(LogGridTest, SavedWidthsWinOverTheGridsOwn)
{
    WriteRegInteger(QStringLiteral("InfoGrid_1"), 240);
    WriteRegInteger(QStringLiteral("InfoGrid_4"), 60);
    TTimeRec &w = OpenWindow();
    const int widths[] = {0, 240, 100, 100, 60}; // column 0: the grid's own
    for (int c = 1; c < 5; ++c)
        EXPECT_EQ(grid(w)->columnWidth(c), widths[c]) << c;
    EXPECT_GE(grid(w)->columnWidth(0), 185);
}

TEST_F(LogGridTest, NewSwipeRowBecomesCurrentAndCounted)
{
    AddLog(QDateTime(QDate(2026, 1, 2), QTime(8, 0)), 1);
    TTimeRec &w = OpenWindow();
    AddLog(QDateTime(QDate(2026, 1, 2), QTime(9, 0)), 2);
    EXPECT_EQ(grid(w)->model()->rowCount(), 2);
    EXPECT_EQ(w.CurrentLogRow(), 1);
    EXPECT_EQ(cell(w, 1, LogGridModel::ColCardNo), QStringLiteral("[2]"));
}

TEST_F(LogGridTest, CheckLogEmptyOnlySpeaksForAnEmptyLog)
{
    TTimeRec &w = OpenWindow();
    EXPECT_TRUE(w.CheckLogEmpty());
    ASSERT_EQ(Messages().Count(), 1);
    EXPECT_EQ(Messages().Last().text, QStringLiteral("No record."));
    EXPECT_EQ(Messages().Last().kind, MsgKind::Error);

    Messages().Clear();
    AddLog(QDateTime(QDate(2026, 1, 2), QTime(8, 0)), 1);
    EXPECT_FALSE(w.CheckLogEmpty());
    EXPECT_EQ(Messages().Count(), 0);
}

TEST_F(LogGridTest, DoubleClickWhileLoggedOutOpensNothing)
{
    AddLog(QDateTime(QDate(2026, 1, 2), QTime(8, 0)), 1);
    TTimeRec &w = OpenWindow();
    EXPECT_FALSE(w.IsLoggedIn());
    w.infoDblClick();
    ASSERT_EQ(Messages().Count(), 1);
    EXPECT_EQ(Messages().Last().text, QStringLiteral("Feature disabled. Please Login to use it."));
    EXPECT_EQ(Messages().Last().kind, MsgKind::Information);
}

TEST_F(LogGridTest, DeleteRecordOnAnEmptyLogSaysSo)
{
    TTimeRec &w = OpenWindow();
    w.actDelRecClick();
    ASSERT_EQ(Messages().Count(), 1);
    EXPECT_EQ(Messages().Last().text, QStringLiteral("No record to delete."));
    EXPECT_EQ(Messages().Last().kind, MsgKind::Information);
}

TEST_F(LogGridTest, DeleteRecordRemovesTheCurrentRowAndItsSnapshotOnlyOnOk)
{
    const QDateTime t(QDate(2026, 2, 3), QTime(10, 0));
    for (int i = 0; i < 3; ++i) {
        AddLog(t.addSecs(i), 100 + i);
        touch(MakeSnapshotFileName(100 + i, t.addSecs(i)));
    }
    TTimeRec &w = OpenWindow();
    w.SetCurrentLogRow(1);

    Messages().QueueAnswer(MsgButton::Cancel);
    w.actDelRecClick();
    ASSERT_EQ(Messages().Count(), 1);
    EXPECT_EQ(Messages().Last().text, QStringLiteral("Are you sure to delete this record."));
    EXPECT_EQ(Messages().Last().buttons, MsgButtons::OkCancel);
    EXPECT_EQ(Count(dsrc->att, QStringLiteral("recorder")), 3);

    w.SetCurrentLogRow(1);
    Messages().QueueAnswer(MsgButton::Ok);
    w.actDelRecClick();
    EXPECT_EQ(Count(dsrc->att, QStringLiteral("recorder")), 2);
    EXPECT_FALSE(QFile::exists(MakeSnapshotFileName(101, t.addSecs(1))));
    EXPECT_TRUE(QFile::exists(MakeSnapshotFileName(100, t)));
    EXPECT_TRUE(QFile::exists(MakeSnapshotFileName(102, t.addSecs(2))));
    EXPECT_EQ(cell(w, 0, LogGridModel::ColCardNo), QStringLiteral("[100]"));
    EXPECT_EQ(cell(w, 1, LogGridModel::ColCardNo), QStringLiteral("[102]"));
    EXPECT_EQ(w.findChild<QGroupBox *>(QStringLiteral("logs"))->title(),
              QStringLiteral("2 record(s)"));
}

TEST_F(LogGridTest, ModelReadsNothingWhileSuspended)
{
    AddLog(QDateTime(QDate(2026, 1, 2), QTime(8, 0)), 1);
    LogGridModel model(dsrc->logs);
    EXPECT_EQ(model.rowCount(), 1);
    model.SetSuspended(true);
    EXPECT_EQ(model.rowCount(), 0);
    AddLog(QDateTime(QDate(2026, 1, 2), QTime(9, 0)), 2);
    EXPECT_EQ(model.rowCount(), 0);
    model.SetSuspended(false);
    EXPECT_EQ(model.rowCount(), 2);
    EXPECT_EQ(model.CardAt(1), 2);
    EXPECT_EQ(model.CardAt(5), 0);
}

} // namespace
