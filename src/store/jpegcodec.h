#pragma once
// JPEG pictures through libjpeg: images to JPEG bytes or files, and JPEG bytes back into
// 24-bit images (QImage::Format_RGB888, the form every image routine works on). Any thread.

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>

// The quality libjpeg's own defaults give; stored photos use it.
inline constexpr int LibraryJpegQuality = 75;

// The image as JPEG at quality 0..100 (out-of-range values give 100); empty when the image is
// null or cannot be encoded.
QByteArray EncodeJpeg(const QImage &image, int quality = LibraryJpegQuality);

// The most pixels a decoded picture may have (48 MB in 24 bits): a larger one is decoded at a
// smaller scale, and one that is too large even at an eighth is refused.
inline constexpr qint64 MaxDecodedPixels = 4096LL * 4096;

// The picture of the JPEG bytes in Format_RGB888 (a grey JPEG comes out grey in three bytes);
// a null image when the bytes are not a JPEG libjpeg can read, or stop before the picture ends.
// The size is read first, and the picture decoded at the smallest scale libjpeg offers (an
// eighth up to the whole) that still covers `cover` in both directions, at its whole size
// when no cover is given, and never above MaxDecodedPixels; a picture that would need more
// than that, or more working memory than a small desk can spare, gives a null image. Data
// that libjpeg reads with a warning of corrupt data comes out as decoded.
QImage DecodeJpeg(const QByteArray &bytes, QSize cover = QSize());

// The picture size the JPEG's header gives, read without decoding the picture; an invalid size
// when the bytes do not start as a JPEG. The rest of the bytes is not checked.
QSize JpegSize(const QByteArray &bytes);

// Encodes the image at quality 0..100 (out-of-range values give 100) and stores it under the
// file name. The file is written under a temporary name in the same folder and renamed into
// place once complete, so a reader of the file never sees half a picture; an existing file is
// replaced. False, leaving no file behind, when it cannot be written.
bool WriteJpegFile(const QImage &image, const QString &fileName, int quality);
