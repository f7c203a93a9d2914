#pragma once

#include "WorldPainter.h"

#include <QImage>

#include <stdexcept>
#include <string>

// A painted world that could not be saved; the message names the file.
class EWorldSaveError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// The world in natural colours: each terrain's red value as it is, green and
// blue chosen so the picture reads as a map (with a faint grain for texture).
// A null image when the memory for it cannot be had.
QImage WorldToImage(const TWorldPicture &picture);

// Saves the world as a BMP file of 24 bits per pixel, atomically: the file at
// path changes only when the whole picture has been written, and no temporary
// file stays behind after a failure. Throws EWorldSaveError.
void SaveWorldBmp(const TWorldPicture &picture, const std::string &path);
