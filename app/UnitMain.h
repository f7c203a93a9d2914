#pragma once

#include "GenerateCommand.h"
#include "ProgressAdapters.h"

#include <QMainWindow>
#include <QPoint>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

class QAction;
class QActionGroup;
class QCheckBox;
class QFileDialog;
class QFrame;
class QGroupBox;
class QLabel;
class QMenu;
class QMenuBar;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QStatusBar;
class TMapPreviewForm;
class TTerrainImage;
struct TVoidReport;

// One modal message box of the window: an error box or the About box.
struct TMessageBoxRequest
{
    enum TIcon { Information, Critical, Question };
    TIcon Icon = Critical;
    std::string Title;
    std::string Text;
    std::string Detail; // the cause, shown below the text; may be empty
};

// Where the window finds its files and how it shows its modal windows. Empty
// paths mean the files next to the executable (and the user's configuration
// folder where the program's folder cannot be written); empty hooks the real
// modal boxes and dialogs. Tests put their own folders and recorders here.
struct TForm1Options
{
    std::string SettingsPath;
    std::string UserSettingsPath;
    std::string TilesPath;
    std::function<void(const TMessageBoxRequest &Request)> ShowMessageBox;
    // Asks a yes/no question (Question icon); true for yes. No is the default button.
    std::function<bool(const TMessageBoxRequest &Request)> AskQuestion;
    // Shows the dialog; true with the chosen path in FileName when confirmed.
    std::function<bool(QFileDialog &Dialog, QString &FileName)> ExecuteDialog;
};

// The main window: shows the input and output files, loads the painted image,
// runs the Generate command with progress and Abort, lists the warnings, and
// keeps the file names in the settings file from one run to the next. It owns
// the one terrain model.
class TForm1 : public QMainWindow, public TGenerateObserver
{
    Q_OBJECT

public:
    // Builds the window and runs FormCreate.
    explicit TForm1(TForm1Options Options = {}, QWidget *Parent = nullptr);
    ~TForm1() override;

    // The controls, named as the window's designer names them.
    QMenuBar *MainMenu1 = nullptr;
    QMenu *File1 = nullptr;
    QMenu *Import1 = nullptr;
    QAction *BMPmap1 = nullptr;
    QAction *MapAsPicture1 = nullptr; // File > Import > "Map as picture..."
    QAction *Exit1 = nullptr;
    QMenu *Map1 = nullptr;              // the map's size and the statics files
    QActionGroup *MapSizes1 = nullptr;  // one item per size, the chosen one checked
    QActionGroup *Statics1 = nullptr;   // the statics files: StaticsNone1, StaticsEmpty1, StaticsDecorated1
    QAction *StaticsNone1 = nullptr;
    QAction *StaticsEmpty1 = nullptr;
    QAction *StaticsDecorated1 = nullptr;
    QMenu *N1 = nullptr;
    QAction *Help1 = nullptr;
    QGroupBox *GroupBox1 = nullptr;
    QLabel *Label2 = nullptr;
    QLabel *Label3 = nullptr;
    QLabel *Label4 = nullptr;
    QLabel *Label5 = nullptr;
    QCheckBox *CBLoadBMPOnStartup = nullptr;
    QPushButton *BitBtn1 = nullptr;
    // The heights picture line under the picture's: caption, file (empty: no
    // painted heights), choose and clear.
    QLabel *Label9 = nullptr;
    QLabel *Label10 = nullptr;
    QPushButton *BitBtn7 = nullptr;
    QPushButton *BitBtn8 = nullptr;
    QGroupBox *GroupBox2 = nullptr;
    QLabel *Label1 = nullptr;
    QLabel *Label6 = nullptr;
    QLabel *Label7 = nullptr; // what Generate writes: full path, format, size, statics
    QPushButton *BitBtn2 = nullptr;
    QGroupBox *GroupBox3 = nullptr;
    QPushButton *BitBtn4 = nullptr;
    QPushButton *BitBtn3 = nullptr;
    QGroupBox *GroupBox4 = nullptr;
    QPlainTextEdit *Memo1 = nullptr;
    QLabel *Label8 = nullptr; // under the memo: what the last run wrote, or kept
    QFrame *Panel2 = nullptr;
    QPushButton *BitBtn6 = nullptr;
    QProgressBar *ProgressBar1 = nullptr;
    QStatusBar *StatusBar1 = nullptr;

    // Handlers of the controls.
    void BMPmap1Click();
    // Reads a map file back into a painted picture (two file dialogs: the map,
    // then the picture), then loads that picture.
    void MapAsPicture1Click();
    void BitBtn2Click();
    // The heights picture chosen in a dialog, or none.
    void BitBtn7Click();
    void BitBtn8Click();
    void BitBtn4Click();
    void BitBtn3Click();
    void BitBtn6Click();
    void Exit1Click();
    void Help1Click();
    // A click on line Line (from 0) of the memo: a warning's cell is shown in the preview.
    void Memo1Click(int Line);
    // The "Map" menu: a size chosen, a statics choice made.
    void MapSizeClick(const TMapSize &Size);
    void StaticsClick(TStaticsChoice Choice);

    // Lock or unlock the window: the buttons, the "File" and "Map" menus and
    // Abort's visibility; either way the status text empty and the progress 0.
    void LockGUI(bool Lock);
    // Lets pending events run; this is where Abort and a close can act during a run.
    virtual void ProcessMessages();
    // Abort was pressed, or a close waits for the run: the writing stops.
    bool GetAbortFlag() const { return AbortFlag || ClosePending; }

    // The Generate command as the window shows it: locked with the memo
    // cleared, the stages on the status bar with the progress bar 0 to 9, the
    // warnings in the memo, the writing with one step and one event processing
    // per block-column, the error box of a failed write, unlocked again.
    void RunBegins() override;
    void StageBegins(int Stage, int StageCount, const std::string &StatusText) override;
    void StageEnds(int Stage, int StageCount) override;
    void WarningsReady(const std::vector<std::string> &Lines, const std::vector<TErrorItem> &Items) override;
    void WritingBegins(int BlockColumns, const std::string &StatusText) override;
    void ColumnWritten(int BlockColumn, int BlockColumns) override;
    // During the pipeline only a close stops the run: Abort acts on the writing.
    bool StopRequested() override { return Writing ? GetAbortFlag() : ClosePending; }
    void RunEnds(const TGenerateResult &Result) override;

    // Program state, for whoever looks at the window from outside.
    const std::string &GetBMPFileName() const { return BMPFileName; }
    const std::string &GetMAPFileName() const { return MAPFileName; }
    const std::string &GetHeightsFileName() const { return HeightsFileName; }
    const std::string &GetSettingsPath() const { return SettingsPath; }
    // What Generate writes: the output file in the chosen size, its format and
    // facet number by its name (else the number of the one facet of that size).
    TMapOutput GetMapOutput() const;
    // The same for another output file name.
    TMapOutput MapOutputFor(const std::string &FileName) const;
    TTerrainImage *GetModel() const { return Model.get(); }
    // The map preview window, made by the first Generate; nullptr before.
    TMapPreviewForm *GetPreviewForm() const { return PreviewForm; }
    QString GetStatusText() const;
    // The line under the memo that says how the last run ended.
    QString GetRunResultText() const;

protected:
    void closeEvent(QCloseEvent *Event) override;
    bool eventFilter(QObject *Watched, QEvent *Event) override;

private:
    void CreateMenu();
    void CreateMapMenu();
    void ShowMapChoice();
    void CreateControls();
    void FormCreate();
    void FormClose();
    void CreateModel();
    void ModelNotCreated(const std::string &Message, const std::string &FileName);
    void LoadImage();
    void ShowError(const std::string &Text, const std::string &Detail);
    // The Abort command: unlock, raise the abort flag, progress back to 1.
    void AbortRun();
    void ShowMessageBox(TMessageBoxRequest::TIcon Icon, const std::string &Title, const std::string &Text,
                        const std::string &Detail = {});
    bool ExecuteDialog(QFileDialog &Dialog, QString &FileName);
    void ShowPreview(const std::string &WrittenMap, const TVoidReport &Voids);
    // The memo as a run or the start shows it: the notices (configuration
    // problems) on top, then the warning lines.
    void ShowMemo(const std::vector<std::string> &Warnings);
    // The target beside the output label, and the Map menu's size for a UOP
    // of map0 or map1 (clients read those as 7168 x 4096).
    void ShowTarget();
    bool FitSizeToTarget();
    // False when the user keeps an existing map rather than replacing it with void tiles.
    bool ConfirmVoidMap(const TMapOutput &Output);
    // The line under the memo: what was written (VoidCells: its void tiles), or what was kept.
    void ShowRunResult(TGenerateOutcome Outcome, const TMapOutput &Output, uint64_t VoidCells = 0);
    bool AskQuestion(const std::string &Title, const std::string &Text);
    void PaintPending();
    // An input of the run that the map file would overwrite, said as a message.
    std::optional<std::string> MapFileClash(const std::string &MapFile) const;

    TForm1Options Options;
    std::string SettingsPath;
    std::string TilesPath;

    std::string BMPFileName;
    std::string MAPFileName;
    std::string HeightsFileName; // empty: no painted heights
    bool LoadBMPOnStartup = false;
    TMapSize MapSize = MapSizes::Classic;
    TStaticsChoice Statics = TStaticsChoice::None;
    std::unique_ptr<TTerrainImage> Model;
    bool AbortFlag = false;
    bool Writing = false; // the map file is being written

    // The model could not be made at start-up: the commands that need it stay off.
    bool ModelMissing = false;
    // The Generate command is running; its event processing may call the handlers.
    bool GenerateRunning = false;
    // The window was asked to close while Generate ran; it closes once the command is out.
    bool ClosePending = false;
    // The map file of the run under way, for its error box.
    std::string RunMapFileName;

    // The map preview, a window of its own that the main window owns.
    TMapPreviewForm *PreviewForm = nullptr;
    // The cells of the warnings in the memo, line by line after the notices.
    std::vector<QPoint> WarningCells;
    // Lines at the top of the memo: the tile configuration's problems (again
    // with every run) and, until the first run, what start-up did about the settings.
    std::vector<std::string> ConfigLines;
    std::vector<std::string> StartupLines;
    int MemoHeaderLines = 0;
    // Of the run under way: when it began, whether its files were there before, its warnings.
    std::chrono::steady_clock::time_point RunStart;
    bool RunTargetExisted = false;
    std::string RunRecovery; // what the recovery before the run did, for the result line
    size_t RunWarnings = 0;

    QLabel *StatusText = nullptr;
    std::unique_ptr<TProgressBarAdapter> ProgressBarAdapter;
    std::unique_ptr<TStatusBarAdapter> StatusBarAdapter;
};
