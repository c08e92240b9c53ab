#pragma once
// The quarter turn of a picture as the card dialogs run it, with the progress form "Rotating"
// over the owner. Main thread only.

class QImage;
class QWidget;

// Turns the bitmap a quarter turn anticlockwise, showing the progress form "Rotating".
void RotateBitmap90(QWidget *owner, QImage &bitmap);
