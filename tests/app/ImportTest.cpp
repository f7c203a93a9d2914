// File > Import > "Map as picture...": the map chosen in the first dialog is
// read into the picture chosen in the second, which the window then loads.
#include "WindowFixture.h"

#include "MapReader.h"
#include "PictureFiles.h"

#include <QFileInfo>

using TestSupport::SaveRedBmp;

namespace {

// A MUL map of facet 4 (1448 x 1448 cells, its size told by the name
// map4.mul): grass (tile 3) in the first block-column, forest (tile 196) in
// the others, with one cell of a tile no terrain has (999) at 1,1.
void SaveFacet4Map(const std::string &Path)
{
    std::string bytes;
    for (int bx = 0; bx < 181; ++bx)
        for (int by = 0; by < 181; ++by) {
            bytes += std::string(4, '\0');
            for (int cell = 0; cell < 64; ++cell) {
                const uint16_t tile = bx == 0 ? (by == 0 && cell == 9 ? 999 : 3) : 196;
                bytes += {char(tile & 0xFF), char(tile >> 8), char(0)};
            }
        }
    TestSupport::WriteFile(Path, bytes);
}

} // namespace

TEST_F(TWindowTest, MapAsPictureWritesThePictureAndLoadsIt)
{
    auto form = MakeForm();
    const std::string map = Dir.File("map4.mul"), picture = Dir.File("painted.bmp");
    SaveFacet4Map(map);
    DialogAnswers = {map, picture};
    form->MapAsPicture1Click();

    ASSERT_EQ(Dialogs.size(), 2u);
    EXPECT_EQ(Dialogs[0].Name.toStdString(), "OpenMapDialog1");
    EXPECT_EQ(Dialogs[1].Name.toStdString(), "SavePictureDialog1");
    EXPECT_EQ(Dialogs[1].AcceptMode, QFileDialog::AcceptSave);
    EXPECT_TRUE(Boxes.empty());
    const auto reds = PictureFiles::ReferenceReds(TestSupport::ReadFile(picture));
    ASSERT_TRUE(reds);
    EXPECT_EQ(reds->Rows[0][0], Grass);
    EXPECT_EQ(reds->Rows[0][15], Forest);
    EXPECT_EQ(reds->Rows[1447][1447], Forest);
    EXPECT_EQ(reds->Rows[1][1], 255); // the unknown tile: a red of no terrain
    // The picture is the window's now.
    EXPECT_EQ(Text(form->Label3), picture);
    EXPECT_EQ(Text(form->Label5), "1448 x 1448");
    const std::string memo = form->Memo1->toPlainText().toStdString();
    EXPECT_NE(memo.find("Read " + map + " (1448 x 1448) into " + picture + "."), std::string::npos) << memo;
    EXPECT_NE(memo.find("tile 999 (0x03E7): 1 cells"), std::string::npos) << memo;
}

TEST_F(TWindowTest, MapAsPictureOfAMapThatCannotBeReadShowsTheError)
{
    auto form = MakeForm();
    TestSupport::WriteFile(Dir.File("short.mul"), std::string(100, '\0'));
    DialogAnswers = {Dir.File("short.mul"), Dir.File("painted.bmp")};
    form->MapAsPicture1Click();
    ASSERT_EQ(Boxes.size(), 1u);
    EXPECT_EQ(Boxes[0].Text, "Could not read the map " + Dir.File("short.mul") + ".");
    EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(Dir.File("painted.bmp"))));
    // Cancelling the first dialog does nothing.
    form->MapAsPicture1Click();
    EXPECT_EQ(Dialogs.size(), 3u);
    EXPECT_EQ(Boxes.size(), 1u);
}
