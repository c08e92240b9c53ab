// The card dialog as EditCard fills and reads it: its controls, the name rules of Confirm, the
// photo's road from a file to the stored JPEG, bad picture files, Delete and Cancel.

#include "cardsfixture.h"
#include "store_images/pictures.h"

#include "store/images.h"

#include <QBuffer>
#include <QLabel>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QTest>

namespace {

using CardsDialogTest = CardsTest;

// The dialog shows the card, the name field (16 characters at most), the captions and hints.
TEST_F(CardsDialogTest, ShowsTheCardWithItsCaptionsAndHints)
{
    const int group = AddGroup(QStringLiteral("Night shift"));
    AddHolder(42, QStringLiteral("Ann"), group);
    TCardInfo list(nullptr, Steps().Runner());
    Steps().Add([](QDialog &d) {
        EXPECT_EQ(d.windowTitle(), QStringLiteral("Card Information"));
        EXPECT_EQ(Child<QLineEdit>(d, "xcode")->text(), QStringLiteral("42"));
        EXPECT_TRUE(Child<QLineEdit>(d, "xcode")->isReadOnly());
        auto *name = Child<QLineEdit>(d, "xname");
        EXPECT_EQ(name->text(), QStringLiteral("Ann"));
        EXPECT_TRUE(name->isReadOnly());
        EXPECT_EQ(name->maxLength(), 16);
        EXPECT_EQ(Child<QComboBox>(d, "cbxgroup")->currentText(), QStringLiteral("Night shift"));
        EXPECT_FALSE(Child<QCheckBox>(d, "cboffline")->isVisible());
        for (int port = 1; port <= 8; ++port) {
            auto *box = Child<QCheckBox>(d, ("cbcom" + std::to_string(port)).c_str());
            EXPECT_EQ(box->text(), QStringLiteral("COM%1").arg(port));
            EXPECT_EQ(box->toolTip(), QStringLiteral("Allow access control when the card is "
                                                     "read on that communication port."));
        }
        const struct
        {
            const char *name;
            const char *text;
            const char *hint;
        } buttons[] = {
            {"xload", "Load Photo", "Associate a picture to the card holder."},
            {"bRotate", "Rotate", ""},
            {"bClear", "Clear", ""},
            {"xconfirm", "Confirm", "Confirm the change and exit."},
            {"xdelete", "Delete", "Remove the name from the card and exit."},
            {"xcancel", "Cancel", "Cancel all changes and exit."},
        };
        for (const auto &b : buttons) {
            auto *button = Child<QPushButton>(d, b.name);
            EXPECT_EQ(button->text(), QLatin1String(b.text)) << b.name;
            EXPECT_EQ(button->toolTip(), QLatin1String(b.hint)) << b.name;
        }
        EXPECT_EQ(name->toolTip(), QStringLiteral("Assoicate the card number with a name."));
        EXPECT_EQ(Child<QLabel>(d, "xphoto")->toolTip(),
                  QStringLiteral("Photo associated with the card number."));
        EXPECT_EQ(Child<QLabel>(d, "xphoto")->size(), QSize(120, 160));
        Press(d, "xcancel");
        EXPECT_EQ(d.result(), Tnadd::CancelResult);
    });
    EXPECT_FALSE(list.EditCard(42));
    EXPECT_EQ(Steps().Pending(), 0);
    EXPECT_EQ(Messages().Count(), 0);
}

// The access boxes carry the descriptions of the desk's readers.
TEST_F(CardsDialogTest, AccessBoxesAreCaptionedWithTheReadersDescriptions)
{
    dsrc->src.Exec(QStringLiteral("update reader set DESC='Front door' where PORTNO=3"));
    dsrc->src.Exec(QStringLiteral("update reader set DESC='Store room' where PORTNO=8"));
    dsrc->reader.Close();
    dsrc->reader.Open();
    OpenWindow();
    TCardInfo list(nullptr, Steps().Runner());
    Steps().Add([](QDialog &d) {
        EXPECT_EQ(Child<QCheckBox>(d, "cbcom3")->text(), QStringLiteral("Front door"));
        EXPECT_EQ(Child<QCheckBox>(d, "cbcom8")->text(), QStringLiteral("Store room"));
        EXPECT_EQ(Child<QCheckBox>(d, "cbcom1")->text(), QStringLiteral("COM1"));
        Press(d, "xcancel");
    });
    EXPECT_FALSE(list.EditCard(7));
}

// Confirm's checks in their order: the trimmed name must not be empty, then a new card's name
// must be free; the photo is scaled to the stored size once the name is not empty, also when
// the name is then refused.
TEST_F(CardsDialogTest, ConfirmChecksTheNameAndScalesThePhoto)
{
    struct Case
    {
        const char *name;
        int card; // 10 holds "Bob"; others are new
        const char *typed;
        const char *message; // "" when accepted
        const char *storedName;
        QSize photoAfter;
    };
    const Case cases[] = {
        {"blank name", 20, "   ", "Incorrect name.", "<no row>", QSize(100, 100)},
        {"empty name", 20, "", "Incorrect name.", "<no row>", QSize(100, 100)},
        {"used name", 20, "Bob", "Name has been used.", "<no row>", QSize(240, 320)},
        {"used name with blanks", 20, "  Bob ", "Name has been used.", "<no row>", QSize(240, 320)},
        {"name of other case", 20, "bob", "", "bob", QSize(240, 320)},
        {"trimmed new name", 20, "  Carla Diaz  ", "", "Carla Diaz", QSize(240, 320)},
        {"too long is cut", 20, "Maximilian Alexander", "", "Maximilian Alexa", QSize(240, 320)},
        {"own name of a card", 10, "", "", "Bob", QSize(240, 320)},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        dsrc->src.Exec(QStringLiteral("delete from staffs"));
        dsrc->staff.Refresh();
        AddHolder(10, QStringLiteral("Bob"), 1);
        Messages().Clear();
        TCardInfo list(nullptr, Steps().Runner());
        QSize photo;
        bool focusOnName = false;
        Steps().Add([&](QDialog &d) {
            auto *name = Child<QLineEdit>(d, "xname");
            if (!name->isReadOnly())
                QTest::keyClicks(name, QString::fromLatin1(c.typed));
            Child<QComboBox>(d, "cbxgroup")->setFocus();
            Press(d, "xconfirm");
            photo = asCard(d).Photo().size();
            focusOnName = d.focusWidget() == name;
            if (d.isVisible())
                Press(d, "xcancel");
        });
        const bool saved = list.EditCard(c.card);
        const bool accepted = QString::fromLatin1(c.message).isEmpty();
        EXPECT_EQ(saved, accepted);
        EXPECT_EQ(photo, c.photoAfter);
        if (accepted) {
            EXPECT_EQ(Messages().Count(), 0);
        } else {
            ASSERT_EQ(Messages().Count(), 1);
            EXPECT_EQ(Messages().Last().text, QLatin1String(c.message));
            EXPECT_EQ(Messages().Last().kind, MsgKind::Error);
            EXPECT_TRUE(focusOnName);
        }
        EXPECT_EQ(StoredText(c.card, "NAME"), QLatin1String(c.storedName));
        EXPECT_EQ(Count(dsrc->src, QStringLiteral("staffs")), accepted && c.card != 10 ? 2 : 1);
    }
}

// A photo loaded from a file (button or a click on the photo), turned a quarter turn
// anticlockwise and confirmed is stored as a 240 x 320 JPEG: the right half, blue, on top.
TEST_F(CardsDialogTest, LoadedAndRotatedPhotoIsStoredAsA240By320Jpeg)
{
    QImage picture(400, 300, QImage::Format_RGB888);
    picture.fill(QColor(220, 30, 30));
    for (int y = 0; y < 300; ++y)
        for (int x = 200; x < 400; ++x)
            picture.setPixel(x, y, qRgb(30, 30, 220));
    const QString file = WriteFile(QStringLiteral("IMG0001.JPG"), EncodeJpeg(picture, 95));

    for (const bool byClick : {false, true}) {
        SCOPED_TRACE(byClick ? "click on the photo" : "Load Photo");
        const int card = byClick ? 501 : 500;
        Files().QueueName(file);
        TCardInfo list(nullptr, Steps().Runner());
        Steps().Add([&](QDialog &d) {
            if (byClick) {
                auto *photo = Child<QLabel>(d, "xphoto");
                QTest::mouseClick(photo, Qt::LeftButton);
            } else {
                Press(d, "xload");
            }
            EXPECT_EQ(asCard(d).Photo().size(), QSize(400, 300));
            Press(d, "bRotate");
            EXPECT_EQ(asCard(d).Photo().size(), QSize(300, 400));
            QTest::keyClicks(Child<QLineEdit>(d, "xname"), QStringLiteral("Holder %1").arg(card));
            Press(d, "xconfirm");
        });
        EXPECT_TRUE(list.EditCard(card));
        EXPECT_EQ(Files().Last().filter, QString::fromLatin1(ImageFileFilter));

        const QImage stored = StoredPhoto(card);
        ASSERT_FALSE(stored.isNull());
        EXPECT_EQ(stored.size(), QSize(240, 320));
        expectClose(stored.pixel(120, 40), qRgb(30, 30, 220), 40);
        expectClose(stored.pixel(120, 280), qRgb(220, 30, 30), 40);
    }
    EXPECT_EQ(Messages().Count(), 0);
}

// A card confirmed without a photo stores a white one of the same size; Clear drops a photo.
TEST_F(CardsDialogTest, ClearedPhotoIsStoredWhite)
{
    AddHolder(9, QStringLiteral("Dana"), 1, gradient(240, 320));
    TCardInfo list(nullptr, Steps().Runner());
    Steps().Add([](QDialog &d) {
        EXPECT_EQ(asCard(d).Photo().size(), QSize(240, 320));
        Press(d, "bClear");
        Press(d, "xconfirm");
    });
    EXPECT_TRUE(list.EditCard(9));
    const QImage stored = StoredPhoto(9);
    ASSERT_EQ(stored.size(), QSize(240, 320));
    expectClose(stored.pixel(0, 0), qRgb(255, 255, 255), 2);
    expectClose(stored.pixel(239, 319), qRgb(255, 255, 255), 2);
}

// A photo with fine detail, which each new compression changes a little more.
QImage detailed(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB888);
    quint32 noise = 12345;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            noise = noise * 1664525u + 1013904223u;
            image.setPixel(x, y, qRgb(int(noise >> 24), (x * 2 + y) & 255, int(noise >> 16) & 255));
        }
    return image;
}

// A card saved again and again with its photo untouched keeps the stored JPEG byte for byte,
// so the photo does not lose quality at every save; a photo turned in the dialog or stored at
// another size is stored anew at 240 x 320 and kept from then on.
TEST_F(CardsDialogTest, UntouchedPhotoKeepsItsBytesOverManySaves)
{
    struct Case
    {
        const char *name;
        QSize stored;
        const char *button; // pressed on the first save only; null for none
        bool keptAtFirstSave;
    };
    const Case cases[] = {
        {"stored size", {240, 320}, nullptr, true},
        {"other size", {120, 160}, nullptr, false},
        {"turned", {240, 320}, "bRotate", false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        dsrc->src.Exec(QStringLiteral("delete from staffs"));
        dsrc->staff.Refresh();
        AddHolder(7, QStringLiteral("Gus"), 1, detailed(c.stored.width(), c.stored.height()));
        const QByteArray before = StoredJpeg(7);
        TCardInfo list(nullptr, Steps().Runner());
        Steps().Add([&](QDialog &d) {
            if (c.button)
                Press(d, c.button);
            Press(d, "xconfirm");
        });
        ASSERT_TRUE(list.EditCard(7));
        const QByteArray first = StoredJpeg(7);
        EXPECT_EQ(first == before, c.keptAtFirstSave);
        EXPECT_EQ(StoredPhoto(7).size(), QSize(240, 320));
        for (int save = 2; save <= 10; ++save) {
            Steps().Add([](QDialog &d) {
                EXPECT_EQ(asCard(d).Photo().size(), QSize(240, 320));
                Press(d, "xconfirm");
            });
            ASSERT_TRUE(list.EditCard(7));
            ASSERT_EQ(StoredJpeg(7), first) << "save " << save;
        }
    }
    EXPECT_EQ(Messages().Count(), 0);
}

// Picture files a user may pick: the ones that cannot be read are told by name and leave the
// photo as it was; the odd sizes that can be read end up at the stored size.
TEST_F(CardsDialogTest, BadAndOddPictureFiles)
{
    const QByteArray jpeg = EncodeJpeg(gradient(64, 48), 90);
    QByteArray png;
    {
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        gradient(8, 8).save(&buffer, "PNG");
    }
    struct Case
    {
        const char *name;
        const char *file;
        QByteArray bytes;
        const char *message; // "" when loaded
        QSize loaded;
    };
    const Case cases[] = {
        {"png", "photo.png", png, "Unknown file extension.", {}},
        {"truncated jpeg", "cut.jpg", jpeg.left(jpeg.size() / 2), "Cannot read picture file: ", {}},
        {"not a picture", "text.jpg", QByteArray("hello"), "Cannot read picture file: ", {}},
        {"one pixel", "dot.jpg", EncodeJpeg(gradient(1, 1)), "", QSize(1, 1)},
        {"camera size", "big.jpg", EncodeJpeg(gradient(4000, 3000), 60), "", QSize(4000, 3000)},
        {"mixed case suffix", "photo.Jpeg", jpeg, "", QSize(64, 48)},
    };
    const QImage before = gradient(240, 320);
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        dsrc->src.Exec(QStringLiteral("delete from staffs"));
        dsrc->staff.Refresh();
        AddHolder(3, QStringLiteral("Eve"), 1, before);
        const QImage storedBefore = StoredPhoto(3);
        Messages().Clear();
        const QString path = WriteFile(QString::fromLatin1(c.file), c.bytes);
        Files().QueueName(path);
        TCardInfo list(nullptr, Steps().Runner());
        Steps().Add([&](QDialog &d) {
            const QImage shown = asCard(d).Photo();
            Press(d, "xload");
            if (QString::fromLatin1(c.message).isEmpty()) {
                EXPECT_EQ(asCard(d).Photo().size(), c.loaded);
                Press(d, "xconfirm");
            } else {
                EXPECT_EQ(asCard(d).Photo(), shown);
                Press(d, "xcancel");
            }
        });
        const bool loaded = QString::fromLatin1(c.message).isEmpty();
        EXPECT_EQ(list.EditCard(3), loaded);
        if (loaded) {
            EXPECT_EQ(Messages().Count(), 0);
            EXPECT_EQ(StoredPhoto(3).size(), QSize(240, 320));
        } else {
            ASSERT_EQ(Messages().Count(), 1);
            EXPECT_TRUE(Messages().Last().text.startsWith(QLatin1String(c.message)));
            if (QString::fromLatin1(c.message) != QStringLiteral("Unknown file extension."))
                EXPECT_TRUE(Messages().Last().text.contains(QString::fromLatin1(c.file)));
            EXPECT_EQ(StoredPhoto(3), storedBefore);
        }
    }
}

// Remarks are stored with "\n" between lines and read back whatever line ends they have.
TEST_F(CardsDialogTest, RemarkLinesAreStoredWithNewlines)
{
    AddHolder(5, QStringLiteral("Finn"), 1);
    dsrc->src.Exec(
        QStringLiteral("update staffs set MEMO='one\r\ntwo\rthree\nfour' where CARDNO=5"));
    dsrc->staff.Refresh();
    TCardInfo list(nullptr, Steps().Runner());
    Steps().Add([](QDialog &d) {
        auto *memo = Child<QPlainTextEdit>(d, "memo");
        EXPECT_EQ(memo->toPlainText(), QStringLiteral("one\ntwo\nthree\nfour"));
        memo->appendPlainText(QStringLiteral("five"));
        Press(d, "xconfirm");
    });
    EXPECT_TRUE(list.EditCard(5));
    EXPECT_EQ(StoredText(5, "MEMO"), QStringLiteral("one\ntwo\nthree\nfour\nfive"));
}

// The boxes and the group go into the row; columns the dialog does not show stay as they were.
TEST_F(CardsDialogTest, AccessBoxesAndGroupAreStoredAndOtherColumnsKept)
{
    const int day = AddGroup(QStringLiteral("Day"));
    const int night = AddGroup(QStringLiteral("Night"));
    AddHolder(8, QStringLiteral("Gus"), day);
    dsrc->src.Exec(QStringLiteral(
        "update staffs set TIMEGRP=4, ACCESSGRP=5, PICKED=1, OFFLINE=1, COM2=1 where CARDNO=8"));
    dsrc->staff.Refresh();
    TCardInfo list(nullptr, Steps().Runner());
    Steps().Add([](QDialog &d) {
        EXPECT_TRUE(Child<QCheckBox>(d, "cbcom2")->isChecked());
        EXPECT_TRUE(Child<QCheckBox>(d, "cboffline")->isChecked());
        Child<QCheckBox>(d, "cbcom2")->setChecked(false);
        Child<QCheckBox>(d, "cbcom5")->setChecked(true);
        Child<QComboBox>(d, "cbxgroup")->setCurrentText(QStringLiteral("Night"));
        Press(d, "xconfirm");
    });
    EXPECT_TRUE(list.EditCard(8));
    TStatement st = dsrc->src.Prepare(QStringLiteral(
        "select COM1,COM2,COM3,COM4,COM5,COM6,COM7,COM8,OFFLINE,WORKGRP,TIMEGRP,ACCESSGRP,PICKED "
        "from staffs where CARDNO=8"));
    ASSERT_TRUE(st.Step());
    QList<qint64> row;
    for (int i = 0; i < 13; ++i)
        row << st.ColumnInt64(i);
    EXPECT_EQ(row, (QList<qint64>{0, 0, 0, 0, 1, 0, 0, 0, 1, night, 4, 5, 1}));
    EXPECT_TRUE(list.Changed());
}

// One list serves card after card with the same dialog: nothing of the card before is left in
// it, neither the name and its lock, the boxes, the remarks, the group nor the photo.
TEST_F(CardsDialogTest, EachCardStartsFromAFreshDialog)
{
    const int group = AddGroup(QStringLiteral("Day"));
    QImage photo(240, 320, QImage::Format_RGB888);
    photo.fill(Qt::red);
    AddHolder(8, QStringLiteral("Gus"), group, photo);
    dsrc->src.Exec(QStringLiteral("update staffs set OFFLINE=1, COM2=1, COM7=1, MEMO='night "
                                  "key' where CARDNO=8"));
    dsrc->staff.Refresh();
    const QImage blank = Tnadd().Photo();

    TCardInfo list(nullptr, Steps().Runner());
    QDialog *first = nullptr;
    int groups = 0;
    Steps().Add([&](QDialog &d) {
        first = &d;
        groups = Child<QComboBox>(d, "cbxgroup")->count();
        EXPECT_EQ(Child<QLineEdit>(d, "xname")->text(), QStringLiteral("Gus"));
        EXPECT_NE(asCard(d).Photo().pixel(0, 0), blank.pixel(0, 0));
        Press(d, "xcancel");
    });
    Steps().Add([&](QDialog &d) {
        EXPECT_EQ(&d, first);
        EXPECT_EQ(Child<QLineEdit>(d, "xcode")->text(), QStringLiteral("99"));
        EXPECT_EQ(Child<QLineEdit>(d, "xname")->text(), QString());
        EXPECT_FALSE(Child<QLineEdit>(d, "xname")->isReadOnly());
        for (int port = 1; port <= 8; ++port)
            EXPECT_FALSE(Child<QCheckBox>(d, ("cbcom" + std::to_string(port)).c_str())->isChecked())
                << port;
        EXPECT_FALSE(Child<QCheckBox>(d, "cboffline")->isChecked());
        EXPECT_EQ(Child<QPlainTextEdit>(d, "memo")->toPlainText(), QString());
        EXPECT_EQ(Child<QComboBox>(d, "cbxgroup")->count(), groups);
        EXPECT_EQ(asCard(d).Photo(), blank);
        EXPECT_TRUE(asCard(d).UnchangedJpeg().isEmpty());
        Child<QLineEdit>(d, "xname")->setText(QStringLiteral("Ivy"));
        Press(d, "xconfirm");
    });
    EXPECT_FALSE(list.EditCard(8));
    EXPECT_TRUE(list.EditCard(99));
    EXPECT_EQ(Steps().Pending(), 0);
    EXPECT_EQ(StoredText(99, "NAME"), QStringLiteral("Ivy"));
    EXPECT_EQ(StoredPhoto(99).size(), QSize(240, 320));
    EXPECT_EQ(StoredPhoto(99).pixel(120, 160), qRgb(255, 255, 255));
}

// Delete asks first; on a card with a row it removes the row, on a card without one it
// closes the dialog and changes nothing.
TEST_F(CardsDialogTest, DeleteAsksAndRemovesOnlyAnExistingRow)
{
    AddHolder(11, QStringLiteral("Hana"), 1);
    struct Case
    {
        const char *name;
        int card;
        MsgButton answer;
        bool result;
        int rowsAfter;
    };
    const Case cases[] = {
        {"refused", 11, MsgButton::Cancel, false, 1},
        {"card without a row", 12, MsgButton::Ok, false, 1},
        {"card with a row", 11, MsgButton::Ok, true, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Messages().Clear();
        Messages().QueueAnswer(c.answer);
        TCardInfo list(nullptr, Steps().Runner());
        bool openAfterDelete = false;
        Steps().Add([&](QDialog &d) {
            Press(d, "xdelete");
            openAfterDelete = d.isVisible();
            if (openAfterDelete)
                Press(d, "xcancel");
        });
        EXPECT_EQ(list.EditCard(c.card), c.result);
        EXPECT_EQ(openAfterDelete, c.answer != MsgButton::Ok);
        ASSERT_EQ(Messages().Count(), 1);
        EXPECT_EQ(Messages().Last().text, QStringLiteral("Are you sure to delete the record?"));
        EXPECT_EQ(Messages().Last().buttons, MsgButtons::OkCancel);
        EXPECT_EQ(Count(dsrc->src, QStringLiteral("staffs")), c.rowsAfter);
        EXPECT_EQ(list.Changed(), c.result);
    }
}

// A write the store refuses is reported, leaves the row as it was and the shared dataset
// ready for the next one; a name taken while the dialog was open is refused at saving.
TEST_F(CardsDialogTest, RefusedWritesAreReported)
{
    AddHolder(13, QStringLiteral("Ivan"), 1);
    dsrc->src.Exec(QStringLiteral("create trigger refuse before update on staffs "
                                  "begin select raise(abort, 'refused'); end"));
    TCardInfo list(nullptr, Steps().Runner());
    Steps().Add([](QDialog &d) {
        Child<QCheckBox>(d, "cbcom1")->setChecked(true);
        Press(d, "xconfirm");
    });
    EXPECT_FALSE(list.EditCard(13));
    ASSERT_EQ(Messages().Count(), 1);
    EXPECT_EQ(Messages().Last().text,
              QStringLiteral("Fail to update the database record. Please retry."));
    EXPECT_EQ(StoredText(13, "COM1"), QStringLiteral("0"));
    EXPECT_EQ(dsrc->staff.State(), TDataSetState::Browse);
    EXPECT_FALSE(list.Changed());

    Messages().Clear();
    Steps().Add([](QDialog &d) {
        QTest::keyClicks(Child<QLineEdit>(d, "xname"), QStringLiteral("Jo"));
        Press(d, "xconfirm");
        // Someone else registers the name before the card is saved.
        AddStaff(99, QStringLiteral("Jo"), 1);
    });
    EXPECT_FALSE(list.EditCard(14));
    ASSERT_EQ(Messages().Count(), 1);
    EXPECT_EQ(Messages().Last().text,
              QStringLiteral("The input does not allow deplicate entry. Please re-enter."));
    EXPECT_EQ(StoredText(14, "NAME"), QStringLiteral("<no row>"));
}

} // namespace
