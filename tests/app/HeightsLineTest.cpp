// The heights picture line of the window: chosen in its dialog, kept in the
// settings, read by Generate (its painted altitudes reach the run, its
// failures the error box), and cleared again.
#include "HeightsPicture.h"
#include "WindowFixture.h"

#include <QFileInfo>

namespace {

using TestSupport::SaveRedBmp;

// Grass and forest only: no water, so no coast rings; every cell is painted.
std::vector<std::vector<uint8_t>> TwoTerrains()
{
    std::vector<std::vector<uint8_t>> reds(8, std::vector<uint8_t>(10, Grass));
    for (size_t y = 4; y < 8; ++y)
        reds[y].assign(10, Forest);
    return reds;
}

// Altitude x + 2 * y - 20 at pixel (x, y).
void SaveSlope(const std::string &Path, int Width, int Height)
{
    SaveHeightsPng(Width, Height,
                   [](int Y, int8_t *Altitudes) {
                       for (int x = 0; x < 10; ++x)
                           Altitudes[x] = int8_t(x + 2 * Y - 20);
                   },
                   Path);
}

class THeightsLineTest : public TWindowTest
{
protected:
    std::unique_ptr<TTestForm> MakeLoadedForm()
    {
        WriteSettings("[Main]\nMapWidth=16\nMapHeight=16\n"); // a small map: the test is about the altitudes
        SaveRedBmp(Picture, TwoTerrains());
        auto form = MakeForm();
        LoadThroughDialog(*form, Picture);
        SetOutputThroughDialog(*form, MapPath);
        return form;
    }
    void ChooseHeights(TForm1 &Form, const std::string &Path)
    {
        DialogAnswer = Path;
        Form.BitBtn7Click();
        DialogAnswer.reset();
    }

    const std::string Picture = Dir.File("world.bmp");
    const std::string Heights = Dir.File("heights.png");
    const std::string MapPath = Dir.File("map0.mul");
};

} // namespace

TEST_F(THeightsLineTest, AChosenHeightsPictureReachesTheRunAndTheSettings)
{
    SaveSlope(Heights, 10, 8);
    auto form = MakeLoadedForm();
    ChooseHeights(*form, Heights);
    ASSERT_EQ(Dialogs.back().Name, "OpenHeightsDialog");
    EXPECT_EQ(Text(form->Label10), Heights);
    form->BitBtn4->click();
    ASSERT_TRUE(Boxes.empty()) << Boxes.front().Text << " " << Boxes.front().Detail;
    EXPECT_TRUE(QFileInfo::exists(QString::fromStdString(MapPath)));
    for (int y = 1; y <= 8; ++y)
        for (int x = 1; x <= 10; ++x) {
            EXPECT_EQ(form->GetModel()->GetFlag(x, y), FLAG_PAINTED);
            EXPECT_EQ(form->GetModel()->GetCell(x, y).Altitude, x - 1 + 2 * (y - 1) - 20) << x << "," << y;
        }
    form->close(); // closing writes the settings
    EXPECT_EQ(ReadSetting("HeightsFileName"), Heights);

    // The next start shows it again; None clears it, and the run paints nothing.
    auto again = MakeForm();
    EXPECT_EQ(Text(again->Label10), Heights);
    LoadThroughDialog(*again, Picture);
    again->BitBtn8->click();
    EXPECT_EQ(Text(again->Label10), "");
    again->BitBtn4->click();
    EXPECT_TRUE(Boxes.empty());
    EXPECT_FALSE(again->GetModel()->HasPaintedHeights());
    EXPECT_NE(again->GetModel()->GetFlag(5, 5), FLAG_PAINTED);
    again->close();
    EXPECT_EQ(ReadSetting("HeightsFileName"), "");
}

TEST_F(THeightsLineTest, AHeightsPictureThatDoesNotFitReachesTheErrorBox)
{
    SaveSlope(Heights, 10, 9);
    auto form = MakeLoadedForm();
    ChooseHeights(*form, Heights);
    form->BitBtn4->click();
    ASSERT_EQ(Boxes.size(), 1u);
    EXPECT_EQ(Boxes[0].Text, "Could not load the heights picture " + Heights + "!");
    EXPECT_EQ(Boxes[0].Detail, Heights + ": the heights picture is 10 x 9 pixels, but the terrain picture is 10 x 8; "
                                         "the two must be of one size");
    EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(MapPath)));
    EXPECT_TRUE(form->BitBtn4->isEnabled());

    // The heights picture cannot be the map file either.
    Boxes.clear();
    SetOutputThroughDialog(*form, Heights);
    ASSERT_EQ(Boxes.size(), 1u);
    EXPECT_NE(Boxes[0].Detail.find("the heights picture"), std::string::npos) << Boxes[0].Detail;
}
