#include "PreviewImage.h"

#include <cstring>
#include <new>

QImage PreviewImage(const TPreviewPicture &Picture)
{
    QImage image(Picture.Width, Picture.Height, QImage::Format_RGB32);
    if (image.isNull() && Picture.Width > 0 && Picture.Height > 0)
        throw std::bad_alloc();
    for (int y = 0; y < Picture.Height; ++y)
        std::memcpy(image.scanLine(y), Picture.Row(y), size_t(Picture.Width) * sizeof(TPreviewColor));
    return image;
}

TPreviewPicture PreviewPictureOf(const QImage &Image)
{
    const QImage source = Image.convertToFormat(QImage::Format_RGB32);
    TPreviewPicture picture;
    picture.Width = source.width();
    picture.Height = source.height();
    picture.Pixels.resize(size_t(picture.Width) * size_t(picture.Height));
    for (int y = 0; y < picture.Height; ++y)
        std::memcpy(picture.Row(y), source.constScanLine(y), size_t(picture.Width) * sizeof(TPreviewColor));
    return picture;
}
