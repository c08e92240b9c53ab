// JPEG pictures, photos in blob fields, and pictures loaded from files.

#include "store/images.h"
#include "store/jpegcodec.h"
#include "testsupport/fakefiledialogs.h"
#include "testsupport/fakemessages.h"
#include "testsupport/tempdata.h"

#include "pictures.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

void writeFile(const QString &name, const QByteArray &bytes)
{
    QFile f(name);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(f.write(bytes), bytes.size());
}

QByteArray bmpOf(const QImage &image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "BMP");
    return bytes;
}

class PhotoBlobTest : public TempDataTest
{
protected:
    TDataSet &staff() { return Data().Dsrc().staff; }
    TField photo() { return staff().FieldByName(QStringLiteral("PHOTO")); }
    void appendHolder()
    {
        staff().Append();
        staff().FieldByName(QStringLiteral("CARDNO")).SetAsInteger(4711);
        staff().FieldByName(QStringLiteral("NAME")).SetAsString(QStringLiteral("Ann"));
    }
};

TEST_F(PhotoBlobTest, StoresJpegResizesItAndReadsItBack)
{
    appendHolder();
    ASSERT_TRUE(SaveGraphicToBlobAsJpeg(photo(), gradient(600, 400)));
    staff().Post();
    EXPECT_TRUE(photo().AsBytes().startsWith("\xFF\xD8"));

    staff().Edit();
    ASSERT_TRUE(ResizeBlobPhoto(photo(), PhotoWidth, PhotoHeight));
    staff().Post();
    QImage back;
    ASSERT_TRUE(LoadJpegBlobToGraphic(photo(), back));
    EXPECT_EQ(back.size(), QSize(240, 320));
    expectClose(back.pixel(0, 0), qRgb(0, 0, 90));
    expectClose(back.pixel(239, 319), qRgb(254, 254, 90));
}

TEST_F(PhotoBlobTest, ADamagedPhotoLeavesThePictureAsItWas)
{
    const QByteArray jpeg = EncodeJpeg(gradient(64, 48));
    struct Row
    {
        const char *name;
        QByteArray stored;
    } rows[] = {
        {"no photo", QByteArray()},
        {"truncated", jpeg.left(jpeg.size() / 2)},
        {"a bitmap is not a JPEG", bmpOf(gradient(4, 4))},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.name);
        appendHolder();
        photo().SetAsBytes(r.stored);
        staff().Post();
        QImage picture = gradient(3, 3);
        const QImage before = picture;
        EXPECT_FALSE(LoadJpegBlobToGraphic(photo(), picture));
        EXPECT_EQ(picture, before);
        staff().Edit();
        EXPECT_FALSE(ResizeBlobPhoto(photo(), 240, 320));
        staff().Cancel();
        EXPECT_EQ(photo().AsBytes(), r.stored);
        staff().Delete();
    }
}

TEST_F(PhotoBlobTest, OwnFormatIsALosslessBitmapAndAnyFormatReadsBack)
{
    appendHolder();
    const QImage source = gradient(9, 7);
    ASSERT_TRUE(SaveGraphicToBlob(photo(), source));
    staff().Post();
    EXPECT_TRUE(photo().AsBytes().startsWith("BM"));
    QImage back;
    ASSERT_TRUE(LoadGraphicFromBlob(photo(), back));
    EXPECT_EQ(back.convertToFormat(QImage::Format_RGB888), source);

    staff().Edit();
    ASSERT_TRUE(SaveGraphicToBlobAsJpeg(photo(), source));
    ASSERT_TRUE(LoadGraphicFromBlob(photo(), back));
    EXPECT_EQ(back.format(), QImage::Format_RGB888);
    photo().SetAsBytes(QByteArray("garbage"));
    EXPECT_FALSE(LoadGraphicFromBlob(photo(), back));
    EXPECT_EQ(back.size(), QSize(9, 7));
    staff().Cancel();
}

TEST_F(PhotoBlobTest, WritingOutsideAnEditIsAFailureNotAnException)
{
    appendHolder();
    staff().Post();
    EXPECT_FALSE(SaveGraphicToBlobAsJpeg(photo(), gradient(4, 4)));
    EXPECT_FALSE(SaveGraphicToBlob(photo(), gradient(4, 4)));
    EXPECT_FALSE(SaveGraphicToBlobAsJpeg(TField(), gradient(4, 4)));
    EXPECT_FALSE(ResizeBlobPhoto(TField(), 4, 4));
}

class PictureFiles : public ::testing::Test
{
protected:
    QString file(const char *name) const { return dir.filePath(QString::fromLatin1(name)); }
    QTemporaryDir dir;
    FakeFileDialogs dialogs;
    FakeMessages messages;
};

TEST_F(PictureFiles, TheExtensionInAnyCaseDecidesTheLoader)
{
    const QImage source = gradient(30, 20);
    struct Row
    {
        const char *name;
        QByteArray bytes;
        QSize asked;
        QSize loaded;
    } rows[] = {
        {"photo.Jpeg", EncodeJpeg(source, 95), {0, 0}, {30, 20}},
        {"IMG0001.JPG", EncodeJpeg(source, 95), {15, 40}, {15, 40}},
        {"scan.bmp", bmpOf(source), {0, 40}, {30, 20}},
        {"SCAN.BMP", bmpOf(source), {60, 10}, {60, 10}},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.name);
        writeFile(file(r.name), r.bytes);
        dialogs.QueueName(file(r.name));
        QImage picture;
        ASSERT_TRUE(LoadImageFromFile(nullptr, picture, r.asked.width(), r.asked.height()));
        EXPECT_EQ(picture.size(), r.loaded);
        EXPECT_EQ(picture.format(), QImage::Format_RGB888);
        expectClose(picture.pixel(0, 0), source.pixel(0, 0));
        const FileDialogRequest asked = dialogs.Last();
        EXPECT_EQ(asked.kind, FileDialogKind::Open);
        EXPECT_EQ(asked.filter, QString::fromLatin1(ImageFileFilter));
    }
    EXPECT_EQ(messages.Count(), 0);
}

TEST_F(PictureFiles, AnythingElseIsToldAndLeavesThePictureAsItWas)
{
    const QByteArray jpeg = EncodeJpeg(gradient(64, 48));
    struct Row
    {
        const char *name;
        QByteArray bytes;
        QString message; // empty: the box names the file
    } rows[] = {
        {"logo.png", jpeg, QStringLiteral("Unknown file extension.")},
        {"noextension", jpeg, QStringLiteral("Unknown file extension.")},
        {"cut.jpg", jpeg.left(jpeg.size() / 2), QString()},
        {"text.jpeg", QByteArray("hello"), QString()},
        {"empty.bmp", QByteArray(), QString()},
        {"jpeg-named.bmp", jpeg, QString()},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.name);
        writeFile(file(r.name), r.bytes);
        dialogs.QueueName(file(r.name));
        QImage picture = gradient(5, 5);
        const QImage before = picture;
        messages.Clear();
        EXPECT_FALSE(LoadImageFromFile(nullptr, picture, 0, 0));
        EXPECT_EQ(picture, before);
        ASSERT_EQ(messages.Count(), 1);
        EXPECT_EQ(messages.Last().kind, MsgKind::Error);
        EXPECT_EQ(messages.Last().buttons, MsgButtons::Ok);
        if (r.message.isEmpty())
            EXPECT_TRUE(messages.Last().text.contains(file(r.name)))
                << messages.Last().text.toStdString();
        else
            EXPECT_EQ(messages.Last().text, r.message);
    }
}

TEST_F(PictureFiles, CancelLoadsNothing)
{
    dialogs.QueueCancel();
    QImage picture = gradient(5, 5);
    EXPECT_FALSE(LoadImageFromFile(nullptr, picture, 0, 0));
    EXPECT_EQ(picture.size(), QSize(5, 5));
    EXPECT_EQ(messages.Count(), 0);
}

TEST_F(PictureFiles, DirectLoadersSaverAndBlankPicture)
{
    QImage picture = gradient(5, 5);
    EXPECT_FALSE(LoadJpegFileScaled(0, 0, picture, file("cardback.jpg"))); // missing
    EXPECT_EQ(picture.size(), QSize(5, 5));
    EXPECT_THROW(LoadBitmapFileScaled(0, 0, picture, file("missing.bmp")), EImageFile);
    writeFile(file("bad.jpg"), QByteArray("not a jpeg"));
    EXPECT_THROW(LoadJpegFileScaled(0, 0, picture, file("bad.jpg")), EImageFile);
    EXPECT_EQ(picture.size(), QSize(5, 5));

    ClearImage(picture);
    EXPECT_EQ(picture.size(), QSize(100, 100));
    EXPECT_EQ(picture.format(), QImage::Format_RGB888);
    EXPECT_EQ(picture.pixel(0, 0), qRgb(255, 255, 255));
    EXPECT_EQ(picture.pixel(99, 99), qRgb(255, 255, 255));

    ASSERT_TRUE(SaveImageAsJpeg(gradient(40, 30), file("cardlogo.jpg")));
    ASSERT_TRUE(LoadJpegFileScaled(0, 0, picture, file("cardlogo.jpg")));
    EXPECT_EQ(picture.size(), QSize(40, 30));
    EXPECT_FALSE(SaveImageAsJpeg(gradient(4, 4), file("missing/cardlogo.jpg")));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files),
              (QStringList{QStringLiteral("bad.jpg"), QStringLiteral("cardlogo.jpg")}));
}

} // namespace
