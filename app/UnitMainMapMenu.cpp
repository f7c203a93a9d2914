// The window's "Map" menu: the size of the map that Generate writes (the
// classic one or that of a facet of current clients) and which statics files
// go with it: none, empty ones, or the decoration of the tile configuration. The format follows the output file's name (*.uop).
#include "UnitMain.h"

#include <QAction>
#include <QActionGroup>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>

#include <filesystem>

namespace {

struct TSizeItem
{
    const char *Name;
    const char *Text;
    TMapSize Size;
};

const TSizeItem SizeItems[] = {
    {"MapSizeClassic1", "6144 x 4096: map0 or map1 of older clients", MapSizes::Classic},
    {"MapSizeFacet01", "7168 x 4096: map0 or map1 (Felucca, Trammel)", {7168, 4096}},
    {"MapSizeFacet21", "2304 x 1600: map2 (Ilshenar)", {2304, 1600}},
    {"MapSizeFacet31", "2560 x 2048: map3 (Malas)", {2560, 2048}},
    {"MapSizeFacet41", "1448 x 1448: map4 (Tokuno)", {1448, 1448}},
    {"MapSizeFacet51", "1280 x 4096: map5 (Ter Mur)", {1280, 4096}},
};

// The size an item stands for, kept in the item's data as "WxH".
TMapSize SizeOf(const QAction *Item)
{
    return ParseMapSize(Item->data().toString().toStdString()).value_or(MapSizes::Classic);
}

QString SizeData(const TMapSize &Size)
{
    return QStringLiteral("%1x%2").arg(Size.Width).arg(Size.Height);
}

// Clients read a UOP file of map0 or map1 as this size, whatever it holds.
constexpr TMapSize UopFacet01Size{7168, 4096};

bool IsUopOfFacet01(const TMapOutput &Output)
{
    const std::optional<int> facet = MapNumberOfName(Output.FileName);
    return Output.Format == TMapFormat::Uop && facet && *facet <= 1;
}

} // namespace

void TForm1::CreateMapMenu()
{
    Map1 = MainMenu1->addMenu(tr("Map"));
    Map1->setObjectName("Map1");
    Map1->setToolTipsVisible(true);
    MapSizes1 = new QActionGroup(this);
    MapSizes1->setObjectName("MapSizes1");
    for (const TSizeItem &item : SizeItems) {
        QAction *action = Map1->addAction(tr(item.Text));
        action->setObjectName(item.Name);
        action->setCheckable(true);
        action->setData(SizeData(item.Size));
        action->setStatusTip(tr("The size of the map file Generate writes"));
        MapSizes1->addAction(action);
        connect(action, &QAction::triggered, this, [this, action] { MapSizeClick(SizeOf(action)); });
    }
    Map1->addSeparator();
    Statics1 = new QActionGroup(this);
    Statics1->setObjectName("Statics1");
    const struct
    {
        QAction *&Item;
        const char *Name;
        QString Text, Tip;
        TStaticsChoice Choice;
    } items[] = {
        {StaticsNone1, "StaticsNone1", tr("No statics files"),
         tr("Statics files next to the map file, which may hold buildings, stay as they are"), TStaticsChoice::None},
        {StaticsEmpty1, "StaticsEmpty1", tr("Empty statics files"),
         tr("Also write staidxN.mul and staticsN.mul without statics next to the map file"), TStaticsChoice::Empty},
        {StaticsDecorated1, "StaticsDecorated1", tr("Decorated statics files"),
         tr("Also write staidxN.mul and staticsN.mul with the trees, plants and rocks of the tile configuration "
            "and the waves on the shores"),
         TStaticsChoice::Decorated},
    };
    for (const auto &item : items) {
        item.Item = Map1->addAction(item.Text);
        item.Item->setObjectName(item.Name);
        item.Item->setCheckable(true);
        item.Item->setStatusTip(item.Tip);
        Statics1->addAction(item.Item);
        connect(item.Item, &QAction::triggered, this, [this, choice = item.Choice] { StaticsClick(choice); });
    }
}

void TForm1::ShowMapChoice()
{
    QAction *chosen = nullptr;
    for (QAction *action : MapSizes1->actions())
        if (!chosen && SizeOf(action) == MapSize)
            chosen = action;
    if (!chosen) {
        // A size from the settings file that no item has: an item of its own.
        chosen = Map1->findChild<QAction *>("MapSizeOther1");
        if (!chosen) {
            chosen = new QAction(Map1);
            chosen->setObjectName("MapSizeOther1");
            chosen->setCheckable(true);
            Map1->insertAction(Map1->actions().at(int(std::size(SizeItems))), chosen);
            MapSizes1->addAction(chosen);
            connect(chosen, &QAction::triggered, this, [this, chosen] { MapSizeClick(SizeOf(chosen)); });
        }
        chosen->setText(tr("%1 (from the settings)").arg(QString::fromStdString(FormatMapSize(MapSize))));
        chosen->setData(SizeData(MapSize));
    }
    chosen->setChecked(true);
    (Statics == TStaticsChoice::Decorated ? StaticsDecorated1
     : Statics == TStaticsChoice::Empty   ? StaticsEmpty1
                                          : StaticsNone1)
        ->setChecked(true);
}

void TForm1::MapSizeClick(const TMapSize &Size)
{
    if (GenerateRunning || !IsValidMapSize(Size))
        return;
    MapSize = Size;
    if (FitSizeToTarget())
        StatusText->setText(tr("Clients read a UOP file of map0 or map1 as %1: choose a .mul name for another size.")
                                .arg(QString::fromStdString(FormatMapSize(UopFacet01Size))));
    ShowMapChoice();
    ShowTarget();
}

void TForm1::StaticsClick(TStaticsChoice Choice)
{
    if (GenerateRunning)
        return;
    Statics = Choice;
    ShowMapChoice();
    ShowTarget();
}

bool TForm1::FitSizeToTarget()
{
    if (!IsUopOfFacet01(GetMapOutput()) || MapSize == UopFacet01Size)
        return false;
    MapSize = UopFacet01Size;
    ShowMapChoice();
    return true;
}

void TForm1::ShowTarget()
{
    const TMapOutput output = GetMapOutput();
    const std::vector<std::string> paths = MapOutputPaths(output);
    QString statics = tr("no statics files");
    if (paths.size() > 1) {
        QStringList names;
        for (size_t i = 1; i < paths.size(); ++i)
            names.push_back(QString::fromStdString(std::filesystem::path(paths[i]).filename().string()));
        statics = (output.Statics == TStaticsChoice::Decorated ? tr("with decorated %1") : tr("with empty %1"))
                      .arg(names.join(tr(" and ")));
    }
    Label7->setText(QStringLiteral("%1 (%2, %3, %4)")
                        .arg(QFileInfo(QString::fromStdString(output.FileName)).absoluteFilePath(),
                             QString::fromLatin1(FormatName(output.Format)),
                             QString::fromStdString(FormatMapSize(output.Size)), statics));
}

TMapOutput TForm1::GetMapOutput() const
{
    return MapOutputFor(MAPFileName);
}

TMapOutput TForm1::MapOutputFor(const std::string &FileName) const
{
    TMapOutput output = TMapOutput::ForFile(FileName, MapSize, Statics);
    const std::vector<int> facets = FacetsOfSize(MapSize);
    if (!MapNumberOfName(FileName) && facets.size() == 1)
        output.MapNumber = facets.front();
    return output;
}
