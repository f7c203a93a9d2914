#pragma once

#include "MapPreview.h"

#include <QImage>

// The preview picture as Qt draws it, and back: both hold 0xAARRGGBB pixels,
// so the conversion copies rows.
QImage PreviewImage(const TPreviewPicture &Picture);
TPreviewPicture PreviewPictureOf(const QImage &Image);
