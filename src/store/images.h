#pragma once
// Staff photos and the picture routines of the card dialogs: photos stored as JPEG in blob
// fields, the bilinear resampler every resize goes through, the quarter turn, and pictures
// loaded from files by their extension. Working pictures are 24-bit images in
// QImage::Format_RGB888 (three bytes a pixel, rows through scan lines); every routine that
// touches pixels first puts its images into that form. LoadImageFromFile shows a dialog or a
// box: main thread only. The blob routines run on the thread of the field's dataset; the rest
// on any thread.

#include <QByteArray>
#include <QImage>
#include <QString>
#include <functional>
#include <stdexcept>

class QWidget;
class TField;

// A picture file that cannot be read or is damaged.
class EImageFile : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// Photos entered through the card dialog are stored at this size (portrait).
inline constexpr int PhotoWidth = 240;
inline constexpr int PhotoHeight = 320;

// The filter of the picture loader's open dialog.
inline constexpr char ImageFileFilter[] =
    "Images (*.jpg,*.jpeg,*.bmp)|*.jpg;*.jpeg;*.bmp|JPEG (*.jpg,*.jpeg)|*.jpg;*.jpeg|"
    "Bitmap (*.bmp)|*.bmp|All Files (*.*)|*.*";

// ---- Blob fields (the field must be in Edit or Insert state to be written) ----------------

// Stores the picture as JPEG (the library's default quality) in the field; false when any
// step fails.
bool SaveGraphicToBlobAsJpeg(const TField &field, const QImage &graphic);
// Reads the field's JPEG into the picture; false on any error, the picture left as it was.
bool LoadJpegBlobToGraphic(const TField &field, QImage &graphic);
// Reads the field's bytes in whatever picture format they are; false (picture untouched) when
// they are none that can be read.
bool LoadGraphicFromBlob(const TField &field, QImage &graphic);
// Stores the picture in the field as a 24-bit bitmap (BMP), the working pictures' own form.
bool SaveGraphicToBlob(const TField &field, const QImage &graphic);
// JPEG in the field -> picture -> ResizeBitmap -> JPEG back into the field; false (field
// untouched) on any error.
bool ResizeBlobPhoto(const TField &field, int width, int height);

// ---- Pixels --------------------------------------------------------------------------------

// The bitmap resampled to width x height (the proportions are not kept). A null or empty
// bitmap, or a size below 1, leaves it as it is.
void ResizeBitmap(QImage &bitmap, int width, int height);
// Resamples the source into the destination's size: bilinear, in 16.16 fixed point on scan
// lines. Equal sizes copy the source; an empty source or destination does nothing.
void StretchBitmapBilinear(const QImage &source, QImage &destination);
// How far a turn has got: begin(rows) once, before the first of the rows it will turn (not at
// all for an empty picture), then step() after each row.
struct TRowProgress
{
    std::function<void(int rows)> begin;
    std::function<void()> step;
};
// Turns the bitmap a quarter turn anticlockwise. The turn with its progress form "Rotating" is
// in imagerotate.h.
void RotateBitmap90(QImage &bitmap, const TRowProgress &progress);

// ---- Files ---------------------------------------------------------------------------------

// Loads a bitmap file into the image, resampled to width x height (its own size when either
// is 0); true. EImageFile when the file cannot be read or is not a bitmap (image untouched).
bool LoadBitmapFileScaled(int width, int height, QImage &image, const QString &fileName);
// The same for a JPEG file; false when the file does not exist. The picture is decoded at the
// smallest scale that still covers width x height (DecodeJpeg, whose bound also keeps a huge
// picture kept at its own size from taking the memory of its whole size), on a thread of its
// own while the doors are served and the user's input waits.
bool LoadJpegFileScaled(int width, int height, QImage &image, const QString &fileName);
// Writes the picture to the file as JPEG (the library's default quality), replacing it only
// once complete; false when it cannot be written.
bool SaveImageAsJpeg(const QImage &image, const QString &fileName);
// Asks for a picture file and loads it scaled by its extension (.bmp, .jpg, .jpeg in any
// case); "Unknown file extension." for any other. A file that cannot be read is told in an
// error box naming it, and the picture stays as it was. True when a picture was loaded.
bool LoadImageFromFile(QWidget *owner, QImage &image, int width, int height);
// A blank 100 x 100 white picture.
void ClearImage(QImage &image);
