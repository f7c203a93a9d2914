// File > Import > "Map as picture...": a map file read back into a painted
// picture, which then becomes the window's picture.
#include "UnitMain.h"

#include "AtomicSave.h"
#include "ClassTerrainImage.h"
#include "ImportCommand.h"
#include "ImportTiles.h"
#include "MapReader.h"
#include "OutputTarget.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>

namespace {

QString Q(const std::string &Text)
{
    return QString::fromStdString(Text);
}

// The picture's name: the map's, ending in .bmp, in the map's folder.
QString PictureNameFor(const QString &MapFile)
{
    const QFileInfo map(MapFile);
    return map.absoluteDir().filePath(map.completeBaseName() + ".bmp");
}

} // namespace

void TForm1::MapAsPicture1Click()
{
    if (!Model || GenerateRunning)
        return;
    QFileDialog OpenMapDialog1(this);
    OpenMapDialog1.setObjectName("OpenMapDialog1");
    OpenMapDialog1.setWindowTitle(tr("Read a map as a picture"));
    OpenMapDialog1.setOption(QFileDialog::DontUseNativeDialog);
    OpenMapDialog1.setAcceptMode(QFileDialog::AcceptOpen);
    OpenMapDialog1.setFileMode(QFileDialog::ExistingFile);
    OpenMapDialog1.setNameFilters({tr("Map files (*.mul *.uop)"), tr("All (*)")});
    OpenMapDialog1.selectNameFilter(tr("Map files (*.mul *.uop)"));
    if (!GetMAPFileName().empty())
        OpenMapDialog1.selectFile(Q(GetMAPFileName()));
    QString map;
    if (!ExecuteDialog(OpenMapDialog1, map))
        return;

    QFileDialog SavePictureDialog1(this);
    SavePictureDialog1.setObjectName("SavePictureDialog1");
    SavePictureDialog1.setWindowTitle(tr("Save the picture of the map"));
    SavePictureDialog1.setOption(QFileDialog::DontUseNativeDialog);
    SavePictureDialog1.setAcceptMode(QFileDialog::AcceptSave);
    SavePictureDialog1.setFileMode(QFileDialog::AnyFile);
    SavePictureDialog1.setNameFilters({tr("Bitmaps (*.bmp)"), tr("PNG pictures (*.png)"), tr("All (*)")});
    SavePictureDialog1.setDefaultSuffix("bmp");
    SavePictureDialog1.selectFile(PictureNameFor(map));
    QString picture;
    if (!ExecuteDialog(SavePictureDialog1, picture))
        return;

    const std::string mapFile = map.toStdString(), pictureFile = picture.toStdString();
    if (IsSameFile(mapFile, pictureFile) || IsSameFile(Model->GetTilesPath(), pictureFile)) {
        ShowError("The picture cannot be " + pictureFile + ".", "It is the map or the tile configuration it is read with.");
        return;
    }
    std::vector<std::string> lines;
    for (const std::string &line : RecoverInterruptedSaves({mapFile, pictureFile}))
        lines.push_back("Before the import: " + line);
    TTerrainImport import;
    try {
        import = ImportMapToPicture(mapFile, std::nullopt, *Model, ReadImportTiles(Model->GetTilesPath()), pictureFile);
    } catch (const EMapReadError &error) {
        ShowError("Could not read the map " + mapFile + ".", error.what());
        return;
    } catch (const EFileWriteError &error) {
        ShowError("Could not write the picture " + pictureFile + ".", error.what());
        return;
    } catch (const EConvertError &error) {
        ShowError("Could not read the tile configuration " + error.FileName + ".", error.what());
        return;
    }
    // The picture is the window's picture from now on.
    BMPFileName = pictureFile;
    LoadImage();
    lines.push_back("Read " + mapFile + " (" + std::to_string(import.Width) + " x " + std::to_string(import.Height) +
                    ") into " + pictureFile + ".");
    for (const std::string &line : FormatImportReport(import, *Model))
        lines.push_back(line);
    ShowMemo(lines);
}
