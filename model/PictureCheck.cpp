#include "PictureCheck.h"

std::string PictureProblem(std::span<const uint8_t> File, TPictureLayout &Layout)
{
    if (File.empty())
        return "the file is empty";
    if (LooksLikeBmp(File)) {
        const std::string problem = BmpProblem(File, Layout.Bmp);
        Layout.Width = Layout.Bmp.Width;
        Layout.Height = Layout.Bmp.Height;
        return problem;
    }
    if (LooksLikePng(File)) {
        Layout.Png.emplace(File);
        // The chunks are read first.
        const std::string problem = Layout.Png->LayoutProblem();
        Layout.Width = Layout.Png->Width();
        Layout.Height = Layout.Png->Height();
        return problem;
    }
    return "the file is neither a BMP nor a PNG picture";
}
