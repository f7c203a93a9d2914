#include "UnitMain.h"

#include "AtomicSave.h"

#include "ClassTerrainImage.h"
#include "DecorationConfig.h"
#include "MapPreview.h"
#include "MapPreviewForm.h"
#include "PreviewImage.h"
#include "OutputTarget.h"
#include "PictureDialog.h"
#include "Settings.h"
#include "StaticsReader.h"
#include "VoidReport.h"

#include <QAbstractEventDispatcher>
#include <QAction>
#include <QCoreApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextBlock>

#include <exception>
#include <filesystem>
#include <utility>

namespace {

const char *const Caption = "Morvane - v" MORVANE_VERSION;
const char *const ErrorTitle = "Error";
const char *const AboutTitle = "About";
// Lines of the About box, separated by carriage returns.
const char *const AboutText = "UO Morvane\r"
                              "\r"
                              "Morvane team, 2026\r"
                              "https://morvane.example.org\r"
                              "team@morvane.example.org";
const char *const OpenPictureTitle = "Load the image of the map";
const char *const SaveInitialDir = "F:\\Games\\UO\\Ultima Online 2D";

// The size the clients read a UOP file of map0 or map1 as, whatever it holds.
constexpr TMapSize UopFacet01Size{7168, 4096};

QString Q(const std::string &Text) { return QString::fromStdString(Text); }

std::string FileNameOf(const std::string &Path)
{
    return std::filesystem::path(Path).filename().string();
}

std::string Count(size_t Number, const char *One, const char *Many)
{
    return std::to_string(Number) + " " + (Number == 1 ? One : Many);
}

// Shows a dialog on a preset file name: in its folder when it names one that
// exists, else in Fallback when that exists, else in the current folder.
void PresetFileName(QFileDialog &Dialog, const std::string &FileName, const QString &Fallback = {})
{
    const QFileInfo file(Q(FileName));
    const bool hasFolder = Q(FileName).contains('/');
    if (hasFolder && file.absoluteDir().exists())
        Dialog.setDirectory(file.absolutePath());
    else if (!Fallback.isEmpty() && QDir(Fallback).exists())
        Dialog.setDirectory(Fallback);
    else
        Dialog.setDirectory(QDir::currentPath());
    Dialog.selectFile(file.fileName());
}

void ShowModalBox(QWidget *Parent, const TMessageBoxRequest &Request)
{
    const auto icon = Request.Icon == TMessageBoxRequest::Information ? QMessageBox::Information
                                                                       : QMessageBox::Critical;
    QMessageBox box(icon, Q(Request.Title), Q(Request.Text), QMessageBox::Ok, Parent);
    box.setTextFormat(Qt::PlainText);
    if (!Request.Detail.empty()) {
        box.setInformativeText(Q(Request.Detail));
        if (auto *detail = box.findChild<QLabel *>("qt_msgbox_informativelabel"))
            detail->setTextFormat(Qt::PlainText); // paths may hold '<'
    }
    box.exec();
}

bool AskModal(QWidget *Parent, const TMessageBoxRequest &Request)
{
    QMessageBox box(QMessageBox::Question, Q(Request.Title), Q(Request.Text), QMessageBox::Yes | QMessageBox::No,
                    Parent);
    box.setTextFormat(Qt::PlainText);
    box.setDefaultButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

} // namespace

TForm1::TForm1(TForm1Options Options_, QWidget *Parent)
    : QMainWindow(Parent), Options(std::move(Options_))
{
    TSettingsPlace settings =
        PrepareSettingsFile(Options.SettingsPath.empty() ? DefaultSettingsPath() : Options.SettingsPath,
                            Options.UserSettingsPath.empty() ? DefaultUserSettingsPath() : Options.UserSettingsPath);
    SettingsPath = settings.Path;
    StartupLines = std::move(settings.Notes);
    TilesPath = Options.TilesPath.empty() ? DefaultTilesPath() : Options.TilesPath;
    setObjectName("Form1");
    CreateMenu();
    CreateControls();
    // A click on a warning line shows its cell in the map preview.
    Memo1->viewport()->installEventFilter(this);
    FormCreate();
}

TForm1::~TForm1() = default;

void TForm1::FormCreate()
{
    Label3->clear();
    LockGUI(false);

    const TSettings settings = ReadSettings(SettingsPath);
    BMPFileName = settings.BMPFileName;
    MAPFileName = settings.MAPFileName;
    HeightsFileName = settings.HeightsFileName;
    Label10->setText(Q(HeightsFileName));
    LoadBMPOnStartup = settings.LoadBMPOnStartup;
    CBLoadBMPOnStartup->setChecked(LoadBMPOnStartup);
    MapSize = settings.MapSize;
    Statics = settings.Statics;
    ShowMapChoice();

    CreateModel();
    Label6->setText(Q(MAPFileName));
    FitSizeToTarget();
    ShowTarget();
    if (LoadBMPOnStartup && Model)
        LoadImage();
    ShowMemo({});
    setWindowTitle(Caption);
}

void TForm1::CreateModel()
{
    try {
        Model = std::make_unique<TTerrainImage>(TilesPath);
    } catch (const EConvertError &error) {
        ModelNotCreated(error.what(), error.FileName);
        return;
    } catch (const std::exception &error) {
        ModelNotCreated(error.what(), TilesPath);
        return;
    }
    // Values read as no tile or as the default: the map is made all the
    // same, so they are warnings in the memo rather than an error box.
    ConfigLines = Model->GetConfigProblems();
}

void TForm1::ModelNotCreated(const std::string &Message, const std::string &FileName)
{
    // Without a tile configuration there is nothing to load into or generate
    // from; the window stays open to say so and to be closed.
    ModelMissing = true;
    BitBtn1->setEnabled(false);
    BitBtn4->setEnabled(false);
    BMPmap1->setEnabled(false);
    ShowMessageBox(TMessageBoxRequest::Critical, ErrorTitle, Message, FileName);
    StatusBarAdapter->SetSimpleText("The tile configuration could not be read: " + TilesPath);
}

void TForm1::LoadImage()
{
    // The preview and the warnings belong to the grid that is about to be replaced.
    if (PreviewForm)
        PreviewForm->Clear();
    ShowMemo({});
    Label8->clear();
    try {
        Model->LoadFromBMP(BMPFileName);
        Label3->setText(Q(BMPFileName));
        Label5->setText(QStringLiteral("%1 x %2").arg(Model->GetWidth()).arg(Model->GetHeight()));
    } catch (const std::exception &error) {
        // A failed load leaves the model without an image; the labels say so.
        Label3->clear();
        Label5->setText(QStringLiteral("?"));
        ShowError("Clould not load BMP " + BMPFileName + "!", error.what());
    }
}

void TForm1::BMPmap1Click()
{
    // While Generate runs (an Abort reopens the controls during its event
    // processing) a load would change the grid under the writer.
    if (!Model || GenerateRunning)
        return;
    TOpenPictureDialog OpenPictureDialog1(this);
    OpenPictureDialog1.setObjectName("OpenPictureDialog1");
    OpenPictureDialog1.setWindowTitle(QString::fromUtf8(OpenPictureTitle));
    OpenPictureDialog1.setNameFilters({tr("All (*)"), tr("Bitmaps (*.bmp)")});
    OpenPictureDialog1.selectNameFilter(tr("Bitmaps (*.bmp)"));
    OpenPictureDialog1.setDefaultSuffix("bmp");
    PresetFileName(OpenPictureDialog1, BMPFileName);
    QString chosen;
    if (!ExecuteDialog(OpenPictureDialog1, chosen))
        return;
    // Remembered before the load, so that a file that fails still is the one kept.
    BMPFileName = chosen.toStdString();
    LoadImage();
}

void TForm1::BitBtn7Click()
{
    if (GenerateRunning)
        return;
    TOpenPictureDialog OpenHeightsDialog(this);
    OpenHeightsDialog.setObjectName("OpenHeightsDialog");
    OpenHeightsDialog.setWindowTitle(tr("Open heights picture"));
    OpenHeightsDialog.setNameFilters({tr("All (*)"), tr("Grey pictures (*.png *.bmp)")});
    OpenHeightsDialog.selectNameFilter(tr("Grey pictures (*.png *.bmp)"));
    PresetFileName(OpenHeightsDialog, HeightsFileName.empty() ? BMPFileName : HeightsFileName);
    QString chosen;
    if (!ExecuteDialog(OpenHeightsDialog, chosen))
        return;
    // Read by Generate: the picture may still be repainted until then.
    HeightsFileName = chosen.toStdString();
    Label10->setText(Q(HeightsFileName));
}

void TForm1::BitBtn8Click()
{
    if (GenerateRunning)
        return;
    HeightsFileName.clear();
    Label10->clear();
}

void TForm1::BitBtn2Click()
{
    if (GenerateRunning)
        return;
    QFileDialog SaveDialog1(this);
    SaveDialog1.setObjectName("SaveDialog1");
    SaveDialog1.setOption(QFileDialog::DontUseNativeDialog);
    SaveDialog1.setOption(QFileDialog::DontConfirmOverwrite);
    SaveDialog1.setAcceptMode(QFileDialog::AcceptSave);
    SaveDialog1.setFileMode(QFileDialog::AnyFile);
    SaveDialog1.setNameFilters({tr("All (*)"), tr("MUL file (*.mul)")});
    SaveDialog1.selectNameFilter(tr("MUL file (*.mul)"));
    SaveDialog1.setDefaultSuffix("mul");
    PresetFileName(SaveDialog1, MAPFileName.empty() ? std::string("map0.mul") : MAPFileName, SaveInitialDir);
    QString chosen;
    if (!ExecuteDialog(SaveDialog1, chosen))
        return;
    if (const auto clash = MapFileClash(chosen.toStdString())) {
        ShowError("The map file cannot be " + chosen.toStdString() + ".", *clash);
        return;
    }
    MAPFileName = chosen.toStdString();
    Label6->setText(Q(MAPFileName));
    if (FitSizeToTarget())
        StatusBarAdapter->SetSimpleText("Clients read a UOP file of map0 or map1 as " + FormatMapSize(UopFacet01Size) +
                                        ": the Map menu is set to " + FormatMapSize(UopFacet01Size) + ".");
    ShowTarget();
}

void TForm1::BitBtn4Click()
{
    if (!Model || GenerateRunning)
        return;
    // The run writes where it started, whatever the output label says meanwhile.
    TMapOutput output = GetMapOutput();
    if (output.Statics == TStaticsChoice::Decorated) {
        // Read at each run, so that a change to the decoration needs no restart.
        try {
            output.Decoration = ReadDecorationConfig(TilesPath);
        } catch (const EConvertError &error) {
            ShowError("The decoration of the tile configuration cannot be read.", error.FileName + ": " + error.what());
            return;
        }
    }
    // A remembered name may be the picture's since the settings were written.
    if (const auto clash = MapFileClash(output.FileName)) {
        ShowError("Clould not store MAP to " + output.FileName + "!", *clash);
        return;
    }
    // The painted heights are read at each run, from the picture as it is now;
    // without a heights picture the altitudes are made as always.
    if (!HeightsFileName.empty()) {
        try {
            Model->LoadHeights(HeightsFileName);
        } catch (const std::exception &error) {
            ShowError("Could not load the heights picture " + HeightsFileName + "!", error.what());
            return;
        }
    } else {
        Model->ResetPaintedHeights(false);
    }
    if (!ConfirmVoidMap(output))
        return;
    // A save of an earlier run that was killed is finished or undone first;
    // what that did is said with the run's result.
    RunRecovery.clear();
    for (const std::string &line : RecoverInterruptedSaves(MapOutputPaths(output)))
        RunRecovery += (RunRecovery.empty() ? "" : " ") + line;
    GenerateRunning = true;
    RunMapFileName = output.FileName;
    RunStart = std::chrono::steady_clock::now();
    RunTargetExisted = false;
    for (const std::string &path : MapOutputPaths(output))
        RunTargetExisted = RunTargetExisted || QFileInfo::exists(Q(path));
    RunWarnings = 0;
    Label8->clear();
    TGenerateResult result{TGenerateOutcome::Failed, {}, {}};
    try {
        result = RunGenerateCommand(*Model, output, *this);
    } catch (const std::exception &error) {
        // A failure of the pipeline itself; the window stays locked and Abort unlocks it.
        ShowMessageBox(TMessageBoxRequest::Critical, ErrorTitle, error.what());
    }
    GenerateRunning = false;
    if (ClosePending) {
        ClosePending = false;
        close();
        return;
    }
    if (result.Outcome != TGenerateOutcome::Written) {
        ShowRunResult(result.Outcome, output);
        return;
    }
    // Counted before the preview, which the report also feeds; neither draws a random number.
    const TVoidReport voids = MakeVoidReport(*Model, output.Size);
    ShowRunResult(result.Outcome, output, voids.Total);
    // The preview shows the map that was written, under the file's name.
    ShowPreview(output.FileName, voids);
}

bool TForm1::ConfirmVoidMap(const TMapOutput &Output)
{
    // Without a picture (none loaded, or the last load failed) the map is
    // void tiles only: worth a question before it replaces a map.
    if (Model->GetWidth() > 0 && Model->GetHeight() > 0)
        return true;
    std::vector<std::string> existing;
    for (const std::string &path : MapOutputPaths(Output))
        if (QFileInfo::exists(Q(path)))
            existing.push_back(path);
    if (existing.empty())
        return true;
    std::string files;
    for (const std::string &path : existing)
        files += "\n" + path;
    return AskQuestion("Replace the map?", "No picture is loaded: Generate writes a map of void tiles only, and it "
                                           "replaces" +
                                               files + "\n\nReplace the existing map with void tiles?");
}

void TForm1::ShowRunResult(TGenerateOutcome Outcome, const TMapOutput &Output, uint64_t VoidCells)
{
    const std::vector<std::string> paths = MapOutputPaths(Output);
    std::string names;
    for (const std::string &path : paths)
        names += (names.empty() ? "" : ", ") + FileNameOf(path);
    std::string text;
    if (Outcome == TGenerateOutcome::Written) {
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - RunStart).count();
        text = QStringLiteral("Written in %1 s: ").arg(seconds, 0, 'f', 1).toStdString() + names + " (" +
               FormatName(Output.Format) + ", " + FormatMapSize(Output.Size) + "); " +
               Count(RunWarnings, "warning", "warnings") + ", " + Count(VoidCells, "void cell.", "void cells.");
    } else {
        text = Outcome == TGenerateOutcome::Aborted ? "The run was aborted" : "The map could not be written";
        text += RunTargetExisted ? ": the earlier files were kept (" + names + ")." : ": nothing was written.";
    }
    if (!RunRecovery.empty())
        text = "Before the run: " + RunRecovery + "\n" + text;
    Label8->setText(Q(text));
}

std::optional<std::string> TForm1::MapFileClash(const std::string &MapFile) const
{
    // The map file first, then the statics files that go with it.
    std::vector<TRunFile> outputs;
    for (const std::string &path : MapOutputPaths(MapOutputFor(MapFile)))
        outputs.push_back({path, outputs.empty() ? "the map file" : "the statics file"});
    std::vector<TRunFile> inputs{
        {BMPFileName, "the picture"}, {TilesPath, "the tile configuration"}, {SettingsPath, "the settings file"}};
    if (!HeightsFileName.empty())
        inputs.push_back({HeightsFileName, "the heights picture"});
    return FindFileClash(inputs, outputs);
}

void TForm1::PaintPending()
{
    // Generate runs its stages without event processing; at each of its
    // progress steps the window repaints (after a restore, say), but user input
    // waits until the writing processes events.
    if (GenerateRunning)
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void TForm1::ShowPreview(const std::string &WrittenMap, const TVoidReport &Voids)
{
    if (!PreviewForm)
        PreviewForm = new TMapPreviewForm(this);
    try {
        // The size of the map just written: the Map menu cannot change it while Generate runs.
        const TMapSize size = GetMapOutput().Size;
        // One pixel per cell up to 16384 x 16384 cells; a larger map (a size
        // from the settings file) in blocks, as large as a preview may be.
        const int scale = MinPreviewScale(size);
        // Neither draws a random number: the next map file is the same with or without them.
        TPreviewPicture preview = RenderMapPreview(*Model, size, scale);
        // The statics as written, read back from the files beside the map.
        const TMapOutput output = MapOutputFor(WrittenMap);
        if (output.Statics != TStaticsChoice::None)
            MarkStatics(preview, size, scale, TStaticsReader(StaticsIndexPath(output), StaticsDataPath(output), size));
        const QImage picture = PreviewImage(preview);
        PreviewForm->SetMap(*Model, size, scale, picture, FormatVoidReport(Voids));
    } catch (const std::exception &error) {
        PreviewForm->Clear();
        ShowMessageBox(TMessageBoxRequest::Critical, ErrorTitle, "The map preview could not be drawn.", error.what());
        return;
    }
    PreviewForm->setWindowTitle(tr("Map preview - %1").arg(Q(WrittenMap)));
    PreviewForm->ShowBeside(*this);
}

void TForm1::Memo1Click(int Line)
{
    // The notices on top of the memo have no cell.
    const int warning = Line - MemoHeaderLines;
    if (!PreviewForm || !PreviewForm->HasMap() || warning < 0 || size_t(warning) >= WarningCells.size())
        return;
    PreviewForm->ShowCell(WarningCells[size_t(warning)].x(), WarningCells[size_t(warning)].y());
}

bool TForm1::eventFilter(QObject *Watched, QEvent *Event)
{
    if (Memo1 && Watched == Memo1->viewport() && Event->type() == QEvent::MouseButtonRelease) {
        const auto *mouse = static_cast<QMouseEvent *>(Event);
        const QPoint at = mouse->position().toPoint();
        const QTextCursor cursor = Memo1->cursorForPosition(at);
        // Below the last line the nearest position is on the last line: not a click on it.
        const QRect line = Memo1->cursorRect(cursor);
        if (mouse->button() == Qt::LeftButton && at.y() >= line.top() && at.y() <= line.bottom())
            Memo1Click(cursor.blockNumber());
    }
    return QMainWindow::eventFilter(Watched, Event);
}

void TForm1::BitBtn3Click()
{
    AbortRun();
}

void TForm1::AbortRun()
{
    // The controls open at once; the writing sees the flag when this event
    // processing returns to it.
    LockGUI(false);
    AbortFlag = true;
    ProgressBarAdapter->SetPosition(1);
}

void TForm1::BitBtn6Click()
{
    close();
}

void TForm1::Exit1Click()
{
    close();
}

void TForm1::Help1Click()
{
    ShowMessageBox(TMessageBoxRequest::Information, AboutTitle, AboutText);
}

void TForm1::closeEvent(QCloseEvent *Event)
{
    if (GenerateRunning) {
        // The command still reads the model: stop it as Abort does, and close
        // when it has returned (BitBtn4Click).
        Event->ignore();
        if (!ClosePending) {
            ClosePending = true;
            AbortRun();
        }
        return;
    }
    FormClose();
    Event->accept();
}

void TForm1::FormClose()
{
    if (PreviewForm) {
        PreviewForm->Clear(); // it must not read the model once it is gone
        PreviewForm->close();
    }
    Model.reset();
    TSettings settings;
    settings.BMPFileName = BMPFileName;
    settings.MAPFileName = MAPFileName;
    settings.HeightsFileName = HeightsFileName;
    settings.LoadBMPOnStartup = CBLoadBMPOnStartup->isChecked();
    settings.MapSize = MapSize;
    settings.Statics = Statics;
    if (!WriteSettings(SettingsPath, settings))
        ShowMessageBox(TMessageBoxRequest::Critical, ErrorTitle,
                       "The settings could not be written to " + SettingsPath + ".");
}

void TForm1::LockGUI(bool Lock)
{
    BitBtn1->setEnabled(!Lock && !ModelMissing);
    BitBtn2->setEnabled(!Lock);
    BitBtn7->setEnabled(!Lock);
    BitBtn8->setEnabled(!Lock);
    BitBtn4->setEnabled(!Lock && !ModelMissing);
    BitBtn6->setEnabled(!Lock);
    BitBtn3->setVisible(Lock);
    File1->menuAction()->setEnabled(!Lock);
    Map1->menuAction()->setEnabled(!Lock);
    StatusBarAdapter->SetSimpleText("");
    ProgressBarAdapter->SetPosition(0);
}

void TForm1::ShowMemo(const std::vector<std::string> &Warnings)
{
    QStringList lines;
    for (const std::vector<std::string> *part : {&std::as_const(StartupLines), &std::as_const(ConfigLines), &Warnings})
        for (const std::string &line : *part)
            lines.push_back(Q(line));
    Memo1->setPlainText(lines.join('\n'));
    WarningCells.clear();
    MemoHeaderLines = int(StartupLines.size() + ConfigLines.size());
}

void TForm1::RunBegins()
{
    LockGUI(true);
    // What start-up had to say is said; the configuration's problems stay on top.
    StartupLines.clear();
    ShowMemo({});
    // Shows the locked window and the empty memo before the stages run.
    ProcessMessages();
}

void TForm1::StageBegins(int Stage, int StageCount, const std::string &StatusText)
{
    if (Stage == 1) {
        ProgressBarAdapter->SetMin(0);
        ProgressBarAdapter->SetMax(StageCount);
        ProgressBarAdapter->SetPosition(0);
    }
    StatusBarAdapter->SetSimpleText(StatusText);
}

void TForm1::StageEnds(int Stage, int)
{
    ProgressBarAdapter->SetPosition(Stage);
}

void TForm1::WarningsReady(const std::vector<std::string> &Lines, const std::vector<TErrorItem> &Items)
{
    ShowMemo(Lines);
    RunWarnings = Lines.size();
    // The cells of the warnings (from 0, as map cells), line by line, for a click on a line.
    if (Items.size() == Lines.size())
        for (const TErrorItem &item : Items)
            WarningCells.emplace_back(item.X, item.Y);
}

void TForm1::WritingBegins(int BlockColumns, const std::string &StatusText)
{
    // The bar runs from 1 over 0 .. BlockColumns - 1, a step per block-column.
    ProgressBarAdapter->SetMin(0);
    ProgressBarAdapter->SetMax(BlockColumns - 1);
    ProgressBarAdapter->SetPosition(1);
    StatusBarAdapter->SetSimpleText(StatusText);
    // An Abort pressed before the writing has nothing to stop.
    AbortFlag = false;
    Writing = true;
}

void TForm1::ColumnWritten(int, int)
{
    ProgressBarAdapter->SetPosition(ProgressBarAdapter->GetPosition() + 1);
    ProcessMessages();
}

void TForm1::RunEnds(const TGenerateResult &Result)
{
    Writing = false;
    if (Result.Outcome == TGenerateOutcome::Failed)
        ShowError("Clould not store MAP to " + RunMapFileName + "!", Result.Error);
    LockGUI(false);
}

void TForm1::ProcessMessages()
{
    // The glib event loop hands queued window-system input (a click on Abort,
    // the close box) on only in a pass that follows a wake-up. The repaint
    // passes of the progress steps (PaintPending, input set aside) take that
    // wake-up, so without a fresh one the input would wait for the run's end.
    if (QAbstractEventDispatcher *dispatcher = QAbstractEventDispatcher::instance())
        dispatcher->wakeUp();
    QCoreApplication::processEvents();
}

void TForm1::ShowError(const std::string &Text, const std::string &Detail)
{
    ShowMessageBox(TMessageBoxRequest::Critical, ErrorTitle, Text, Detail);
}

QString TForm1::GetStatusText() const
{
    return StatusText->text();
}

QString TForm1::GetRunResultText() const
{
    return Label8->text();
}

bool TForm1::AskQuestion(const std::string &Title, const std::string &Text)
{
    const TMessageBoxRequest request{TMessageBoxRequest::Question, Title, Text, {}};
    return Options.AskQuestion ? Options.AskQuestion(request) : AskModal(this, request);
}

void TForm1::ShowMessageBox(TMessageBoxRequest::TIcon Icon, const std::string &Title, const std::string &Text,
                            const std::string &Detail)
{
    const TMessageBoxRequest request{Icon, Title, Text, Detail};
    if (Options.ShowMessageBox)
        Options.ShowMessageBox(request);
    else
        ShowModalBox(this, request);
}

bool TForm1::ExecuteDialog(QFileDialog &Dialog, QString &FileName)
{
    if (Options.ExecuteDialog)
        return Options.ExecuteDialog(Dialog, FileName);
    if (Dialog.exec() != QDialog::Accepted || Dialog.selectedFiles().isEmpty())
        return false;
    FileName = Dialog.selectedFiles().first();
    return true;
}
