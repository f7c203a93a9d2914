#pragma once

#include "ClassTerrainImage.h"
#include "IniFile.h"
#include "TestSupport.h"
#include "UnitMain.h"

#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <optional>

// Red values of the bundled tile configuration.
inline constexpr uint8_t Grass = 40;
inline constexpr uint8_t Forest = 9;
inline constexpr uint8_t Desert = 230;

// Grass above, forest and desert side by side below: the border cells where
// the three meet are listed as warnings.
inline std::vector<std::vector<uint8_t>> ThreeTerrains()
{
    std::vector<std::vector<uint8_t>> reds(8, std::vector<uint8_t>(10, Grass));
    for (size_t y = 4; y < 8; ++y)
        for (size_t x = 0; x < 10; ++x)
            reds[y][x] = x < 5 ? Forest : Desert;
    return reds;
}

// Grass above, stripes of forest and desert below: a warning for each cell
// where the three meet.
inline std::vector<std::vector<uint8_t>> StripedTerrains()
{
    std::vector<std::vector<uint8_t>> reds(12, std::vector<uint8_t>(16, Grass));
    for (size_t y = 6; y < 12; ++y)
        for (size_t x = 0; x < 16; ++x)
            reds[y][x] = (x / 4) % 2 == 0 ? Forest : Desert;
    return reds;
}

// The window with a seam in its event processing: tests act between the
// Generate command's steps, always at the same point of the run.
class TTestForm : public TForm1
{
public:
    using TForm1::TForm1;
    // Called with the number of the event processing (from 1) before the events run.
    std::function<void(int Call)> BeforeEvents;
    // Called after the events ran.
    std::function<void(int Call)> AfterEvents;
    int Calls = 0;
    // How many runs of the Generate command have ended.
    int RunsEnded = 0;

    void RunEnds(const TGenerateResult &Result) override
    {
        TForm1::RunEnds(Result);
        ++RunsEnded;
    }

    void ProcessMessages() override
    {
        ++Calls;
        if (BeforeEvents)
            BeforeEvents(Calls);
        TForm1::ProcessMessages();
        if (AfterEvents)
            AfterEvents(Calls);
    }
};

// What a file dialog looked like when the window showed it.
struct TShownDialog
{
    QString Name;
    QString Title;
    QStringList NameFilters;
    QString SelectedNameFilter;
    QString DefaultSuffix;
    QString Directory;
    QStringList PresetFiles;
    QFileDialog::AcceptMode AcceptMode = QFileDialog::AcceptOpen;
    bool ConfirmsOverwrite = true;
    bool Native = true;
};

// A window on a temporary folder: its settings file there, the bundled tile
// configuration, the current folder the temporary folder (for relative names),
// and recorders in place of the modal boxes and dialogs.
class TWindowTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        PreviousDir = QDir::currentPath();
        QDir::setCurrent(QString::fromStdString(Dir.Path()));
    }
    void TearDown() override { QDir::setCurrent(PreviousDir); }

    // The settings file next to the program, unless a test moves the program.
    std::string SettingsPath() const { return ProgramSettings.empty() ? Dir.File("morvane.ini") : ProgramSettings; }
    // Where the settings go when the program's folder cannot be written.
    std::string UserSettings() const { return Dir.File("user/morvane.ini"); }

    void WriteSettings(const std::string &Text) { TestSupport::WriteFile(SettingsPath(), Text); }

    std::unique_ptr<TTestForm> MakeForm(const std::string &TilesPath = TestSupport::BundledTilesPath())
    {
        TForm1Options options;
        options.SettingsPath = SettingsPath();
        options.UserSettingsPath = UserSettings();
        options.TilesPath = TilesPath;
        options.AskQuestion = [this](const TMessageBoxRequest &Request) {
            Questions.push_back(Request);
            return QuestionAnswer;
        };
        options.ShowMessageBox = [this](const TMessageBoxRequest &Request) {
            Boxes.push_back(Request);
            if (WhileBoxShown)
                WhileBoxShown();
        };
        options.ExecuteDialog = [this](QFileDialog &Dialog, QString &FileName) {
            TShownDialog shown;
            shown.Name = Dialog.objectName();
            shown.Title = Dialog.windowTitle();
            shown.NameFilters = Dialog.nameFilters();
            shown.SelectedNameFilter = Dialog.selectedNameFilter();
            shown.DefaultSuffix = Dialog.defaultSuffix();
            shown.Directory = Dialog.directory().absolutePath();
            shown.PresetFiles = Dialog.selectedFiles();
            shown.AcceptMode = Dialog.acceptMode();
            shown.ConfirmsOverwrite = !Dialog.testOption(QFileDialog::DontConfirmOverwrite);
            shown.Native = !Dialog.testOption(QFileDialog::DontUseNativeDialog);
            Dialogs.push_back(shown);
            if (!DialogAnswers.empty()) {
                FileName = QString::fromStdString(DialogAnswers.front());
                DialogAnswers.erase(DialogAnswers.begin());
                return true;
            }
            if (!DialogAnswer)
                return false;
            FileName = QString::fromStdString(*DialogAnswer);
            return true;
        };
        return std::make_unique<TTestForm>(options);
    }

    // Chooses a file in the picture dialog, as the user would.
    void LoadThroughDialog(TForm1 &Form, const std::string &Path)
    {
        DialogAnswer = Path;
        Form.BMPmap1Click();
        DialogAnswer.reset();
    }

    // Chooses the output file in the save dialog.
    void SetOutputThroughDialog(TForm1 &Form, const std::string &Path)
    {
        DialogAnswer = Path;
        Form.BitBtn2Click();
        DialogAnswer.reset();
    }

    std::string ReadSetting(const std::string &Key) const
    {
        return TIniFile(SettingsPath()).ReadString("Main", Key).value_or("<missing>");
    }

    static std::string Text(const QLabel *Label) { return Label->text().toStdString(); }

    TestSupport::TTempDir Dir;
    QString PreviousDir;
    std::vector<TMessageBoxRequest> Boxes;
    std::function<void()> WhileBoxShown; // called as each box is shown
    std::vector<TShownDialog> Dialogs;
    std::vector<TMessageBoxRequest> Questions;
    bool QuestionAnswer = false; // the default button: No
    std::string ProgramSettings;
    std::optional<std::string> DialogAnswer; // empty: the user cancels
    std::vector<std::string> DialogAnswers;  // answers of the next dialogs, in turn, before DialogAnswer
};
