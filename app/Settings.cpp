#include "Settings.h"

#include "ExecutablePath.h"
#include "IniFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryFile>

#include <filesystem>

namespace {

const char *const Section = "Main";
const char *const KeyBMPFileName = "BMPFileName";
const char *const KeyMAPFileName = "MAPFileName";
const char *const KeyHeightsFileName = "HeightsFileName";
const char *const KeyLoadBMPOnStartup = "LoadBMPOnStartup";
const char *const KeyMapWidth = "MapWidth";
const char *const KeyMapHeight = "MapHeight";
const char *const KeyStatics = "Statics";
// The statics switch of the versions that wrote only empty statics files; kept
// up to date so that such a version still writes statics files when asked.
const char *const KeyWriteStatics = "WriteStatics";

QString Q(const std::string &Text) { return QString::fromStdString(Text); }

// Whether Path can be written: the file itself when it is there, else a file
// in its folder. Tried rather than judged from permission bits, which say
// nothing of read-only disks and little when run as an administrator.
bool CanWrite(const std::string &Path)
{
    const QFileInfo file(Q(Path));
    if (file.exists()) {
        QFile probe(file.absoluteFilePath());
        return file.isFile() && probe.open(QIODevice::ReadWrite); // opening changes nothing
    }
    QTemporaryFile probe(file.absolutePath() + "/.morvane-probe-XXXXXX");
    return probe.open();
}

// A settings file that is there but cannot be read is set aside as
// "<file>.bad" (replacing an older one) and a fresh file written.
void SetAsideDamaged(const std::string &Path, std::vector<std::string> &Notes)
{
    const TIniFile ini(Path);
    if (!ini.Exists() || ini.GetProblem().empty())
        return;
    const std::string bad = Path + ".bad";
    QFile::remove(Q(bad));
    if (!QFile::rename(Q(Path), Q(bad))) {
        Notes.push_back("The settings file " + Path + " cannot be read (" + ini.GetProblem() +
                        ") and could not be set aside as " + bad + ": the defaults are used.");
        return;
    }
    const bool written = WriteSettings(Path, TSettings{});
    Notes.push_back("The settings file " + Path + " could not be read (" + ini.GetProblem() + "): it is kept as " +
                    bad + (written ? ", and a fresh one was written." : "; the defaults are used."));
}

} // namespace

std::string DefaultSettingsPath()
{
    return std::filesystem::path(ExecutablePath()).replace_extension(".ini").string();
}

std::string DefaultUserSettingsPath()
{
    return QDir(QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation))
        .filePath(QStringLiteral("morvane.ini"))
        .toStdString();
}

TSettingsPlace PrepareSettingsFile(const std::string &ProgramPath, const std::string &UserPath)
{
    TSettingsPlace place{ProgramPath, {}};
    if (!CanWrite(ProgramPath)) {
        const QFileInfo user(Q(UserPath));
        QDir().mkpath(user.absolutePath());
        if (!CanWrite(UserPath)) {
            // Nowhere to keep them: read where they are, and say so at exit.
            place.Notes.push_back("The settings cannot be kept: neither " + ProgramPath + " nor " + UserPath +
                                  " can be written.");
            return place;
        }
        // The first time, the settings carry over from the program's folder.
        if (!user.exists() && QFileInfo(Q(ProgramPath)).isFile())
            QFile::copy(Q(ProgramPath), Q(UserPath));
        place.Path = UserPath;
        place.Notes.push_back("The folder of " + ProgramPath + " cannot be written: the settings are kept in " +
                              UserPath + ".");
    }
    SetAsideDamaged(place.Path, place.Notes);
    return place;
}

std::string DefaultTilesPath()
{
    return FileNextToExecutable("Tiles.ini");
}

TSettings ReadSettings(const std::string &Path)
{
    const TIniFile ini(Path);
    const TSettings defaults;
    TSettings settings;
    settings.BMPFileName = ini.ReadString(Section, KeyBMPFileName, defaults.BMPFileName);
    settings.MAPFileName = ini.ReadString(Section, KeyMAPFileName, defaults.MAPFileName);
    settings.HeightsFileName = ini.ReadString(Section, KeyHeightsFileName, defaults.HeightsFileName);
    settings.LoadBMPOnStartup = ini.ReadBool(Section, KeyLoadBMPOnStartup, defaults.LoadBMPOnStartup);
    const TMapSize size{ini.ReadInteger(Section, KeyMapWidth, defaults.MapSize.Width),
                        ini.ReadInteger(Section, KeyMapHeight, defaults.MapSize.Height)};
    settings.MapSize = IsValidMapSize(size) ? size : defaults.MapSize;
    const std::optional<TStaticsChoice> statics = StaticsChoiceOfName(ini.ReadString(Section, KeyStatics, ""));
    if (statics)
        settings.Statics = *statics;
    else if (ini.ReadBool(Section, KeyWriteStatics, false))
        settings.Statics = TStaticsChoice::Empty;
    return settings;
}

bool WriteSettings(const std::string &Path, const TSettings &Settings)
{
    TIniFile ini(Path);
    ini.WriteString(Section, KeyBMPFileName, Settings.BMPFileName);
    ini.WriteString(Section, KeyMAPFileName, Settings.MAPFileName);
    ini.WriteString(Section, KeyHeightsFileName, Settings.HeightsFileName);
    ini.WriteBool(Section, KeyLoadBMPOnStartup, Settings.LoadBMPOnStartup);
    ini.WriteString(Section, KeyMapWidth, std::to_string(Settings.MapSize.Width));
    ini.WriteString(Section, KeyMapHeight, std::to_string(Settings.MapSize.Height));
    ini.WriteString(Section, KeyStatics, StaticsChoiceName(Settings.Statics));
    ini.WriteBool(Section, KeyWriteStatics, Settings.Statics != TStaticsChoice::None);
    return ini.UpdateFile();
}

const char *StaticsChoiceName(TStaticsChoice Choice)
{
    switch (Choice) {
    case TStaticsChoice::Empty:
        return "empty";
    case TStaticsChoice::Decorated:
        return "decorated";
    case TStaticsChoice::None:
        break;
    }
    return "none";
}

std::optional<TStaticsChoice> StaticsChoiceOfName(const std::string &Name)
{
    for (const TStaticsChoice choice : {TStaticsChoice::None, TStaticsChoice::Empty, TStaticsChoice::Decorated})
        if (Name == StaticsChoiceName(choice))
            return choice;
    return std::nullopt;
}
