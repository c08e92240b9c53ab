// What the window shows for the core and for the grid's current row: the record count, the new
// row, the holder's photo and the swipe's snapshot; and closing and reopening the databases.

#include "desk/deskcore.h"
#include "desk/loggridmodel.h"
#include "windowfixture.h"

#include <QBuffer>
#include <QFile>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QTableView>
#include <algorithm>
#include <gtest/gtest.h>

namespace {

QByteArray jpeg(int w, int h)
{
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPEG");
    return bytes;
}

void writeFile(const QString &name, const QByteArray &bytes)
{
    QFile f(name);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly)) << name.toStdString();
    f.write(bytes);
}

class ViewTest : public WindowTest
{
protected:
    static bool shown(TTimeRec &w, const char *name)
    {
        return w.findChild<QWidget *>(QString::fromLatin1(name))->isVisibleTo(&w);
    }
    static QString logsTitle(TTimeRec &w)
    {
        return w.findChild<QGroupBox *>(QStringLiteral("logs"))->title();
    }
};

TEST_F(ViewTest, SelectedRowShowsItsPhotoAndSnapshot)
{
    const int group = AddGroup(QStringLiteral("Office"));
    AddStaff(10, QStringLiteral("With Photo"), group);
    dsrc->staff.Edit();
    dsrc->staff.FieldByName(QStringLiteral("PHOTO")).SetAsBytes(jpeg(240, 320));
    dsrc->staff.Post();
    AddStaff(20, QStringLiteral("No Photo"), group);

    const QDateTime t(QDate(2026, 5, 4), QTime(8, 15, 0));
    struct Row
    {
        int card;
        bool snapshot;
        bool photoShown;
    };
    const Row rows[] = {{10, true, true}, {20, false, false}, {99, true, false}, {-1, true, false}};
    for (int i = 0; i < int(std::size(rows)); ++i) {
        AddLog(t.addSecs(i), rows[i].card);
        // The desk names an exit-button row's (CARDNO -1) snapshot with card 0.
        if (rows[i].snapshot)
            writeFile(MakeSnapshotFileName(std::max(rows[i].card, 0), t.addSecs(i)),
                      jpeg(160, 120));
    }
    TTimeRec &w = OpenWindow();
    // At start-up the last row's images show.
    EXPECT_FALSE(shown(w, "xphoto"));
    EXPECT_TRUE(shown(w, "gbcapture"));
    for (int i = 0; i < int(std::size(rows)); ++i) {
        SCOPED_TRACE(i);
        w.SetCurrentLogRow(i);
        w.infoCellClick();
        EXPECT_EQ(shown(w, "xphoto"), rows[i].photoShown);
        EXPECT_EQ(shown(w, "gbcapture"), rows[i].snapshot);
    }
}

TEST_F(ViewTest, SwipeThroughTheCoreLandsInTheGrid)
{
    dsrc->src.Exec(QStringLiteral("update reader set MOTION = 0 where PORTNO = 3"));
    TTimeRec &w = OpenWindow();
    EXPECT_EQ(logsTitle(w), QStringLiteral("no record"));
    const QDateTime t(QDate(2026, 5, 4), QTime(9, 0, 0));
    w.Core()->ReaderCardCode(false, 3, 4242, t, -1);
    w.Core()->ReaderCardCode(false, 3, 4243, t.addSecs(5), -1);
    ASSERT_EQ(w.LogModel()->rowCount(), 2);
    EXPECT_EQ(logsTitle(w), QStringLiteral("2 record(s)"));
    EXPECT_EQ(w.CurrentLogRow(), 1);
    EXPECT_EQ(w.LogModel()->CardAt(1), 4243);
    const QAbstractItemModel *m = w.LogModel();
    EXPECT_EQ(m->data(m->index(1, LogGridModel::ColReader)).toString(), QStringLiteral("COM3"));

    // An exit-button row is counted in the caption too.
    w.Core()->LogButtonCapture(3);
    ASSERT_EQ(w.LogModel()->rowCount(), 3);
    EXPECT_EQ(w.LogModel()->CardAt(2), -1);
    EXPECT_EQ(logsTitle(w), QStringLiteral("3 record(s)"));
}

TEST_F(ViewTest, ClosingAndReopeningTheDatabasesHidesAndRefillsTheGrid)
{
    AddLog(QDateTime(QDate(2026, 5, 4), QTime(9, 0)), 1);
    AddLog(QDateTime(QDate(2026, 5, 4), QTime(9, 1)), 2);
    TTimeRec &w = OpenWindow();
    w.CloseDatabasesAndReaders();
    EXPECT_FALSE(dsrc->att.IsOpen());
    EXPECT_FALSE(dsrc->src.IsOpen());
    EXPECT_FALSE(shown(w, "info"));
    EXPECT_EQ(w.LogModel()->rowCount(), 0);

    w.ReopenDatabasesAndReaders();
    EXPECT_TRUE(dsrc->att.IsOpen());
    EXPECT_TRUE(dsrc->staff.Active());
    EXPECT_TRUE(shown(w, "info"));
    EXPECT_EQ(w.LogModel()->rowCount(), 2);
    EXPECT_EQ(w.CurrentLogRow(), 1);
    EXPECT_EQ(logsTitle(w), QStringLiteral("2 record(s)"));
}

} // namespace
