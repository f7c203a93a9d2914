#include "UnitMain.h"

#include "ClassTerrainImage.h"
#include "MapPreview.h"
#include "MapPreviewForm.h"
#include "PreviewImage.h"
#include "OutputTarget.h"
#include "PictureDialog.h"
#include "Settings.h"
#include "VoidReport.h"

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

QString Q(const std::string &Text) { return QString::fromStdString(Text); }

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

} // namespace

TForm1::TForm1(TForm1Options Options_, QWidget *Parent)
    : QMainWindow(Parent), Options(std::move(Options_))
{
    SettingsPath = Options.SettingsPath.empty() ? DefaultSettingsPath() : Options.SettingsPath;
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
    LoadBMPOnStartup = settings.LoadBMPOnStartup;
    CBLoadBMPOnStartup->setChecked(LoadBMPOnStartup);
    MapSize = settings.MapSize;
    WriteStatics = settings.WriteStatics;
    ShowMapChoice();

    CreateModel();
    Label6->setText(Q(MAPFileName));
    if (LoadBMPOnStartup && Model)
        LoadImage();
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
    const auto &problems = Model->GetConfigProblems();
    if (!problems.empty()) {
        std::string text = "The tile configuration has problems:";
        for (const std::string &problem : problems)
            text += "\n" + problem;
        ShowMessageBox(TMessageBoxRequest::Critical, ErrorTitle, text);
    }
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
    ClearMemo();
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
}

void TForm1::BitBtn4Click()
{
    if (!Model || GenerateRunning)
        return;
    // The run writes where it started, whatever the output label says meanwhile.
    const TMapOutput output = GetMapOutput();
    // A remembered name may be the picture's since the settings were written.
    if (const auto clash = MapFileClash(output.FileName)) {
        ShowError("Clould not store MAP to " + output.FileName + "!", *clash);
        return;
    }
    GenerateRunning = true;
    RunMapFileName = output.FileName;
    TGenerateOutcome outcome = TGenerateOutcome::Failed;
    try {
        outcome = RunGenerateCommand(*Model, output, *this).Outcome;
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
    // The preview shows the map that was written, under the file's name.
    if (outcome == TGenerateOutcome::Written)
        ShowPreview(output.FileName);
}

std::optional<std::string> TForm1::MapFileClash(const std::string &MapFile) const
{
    // The map file first, then the statics files that go with it.
    std::vector<TRunFile> outputs;
    for (const std::string &path : MapOutputPaths(MapOutputFor(MapFile)))
        outputs.push_back({path, outputs.empty() ? "the map file" : "the statics file"});
    return FindFileClash({{BMPFileName, "the picture"},
                          {TilesPath, "the tile configuration"},
                          {SettingsPath, "the settings file"}},
                         outputs);
}

void TForm1::PaintPending()
{
    // Generate runs its stages without event processing; at each of its
    // progress steps the window repaints (after a restore, say), but user input
    // waits until the writing processes events.
    if (GenerateRunning)
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void TForm1::ShowPreview(const std::string &WrittenMap)
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
        const QImage picture = PreviewImage(RenderMapPreview(*Model, size, scale));
        PreviewForm->SetMap(*Model, size, scale, picture, FormatVoidReport(MakeVoidReport(*Model, size)));
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
    if (!PreviewForm || !PreviewForm->HasMap() || Line < 0 || size_t(Line) >= WarningCells.size())
        return;
    PreviewForm->ShowCell(WarningCells[size_t(Line)].x(), WarningCells[size_t(Line)].y());
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
    settings.LoadBMPOnStartup = CBLoadBMPOnStartup->isChecked();
    settings.MapSize = MapSize;
    settings.WriteStatics = WriteStatics;
    if (!WriteSettings(SettingsPath, settings))
        ShowMessageBox(TMessageBoxRequest::Critical, ErrorTitle,
                       "The settings could not be written to " + SettingsPath + ".");
}

void TForm1::LockGUI(bool Lock)
{
    BitBtn1->setEnabled(!Lock && !ModelMissing);
    BitBtn2->setEnabled(!Lock);
    BitBtn4->setEnabled(!Lock && !ModelMissing);
    BitBtn6->setEnabled(!Lock);
    BitBtn3->setVisible(Lock);
    File1->menuAction()->setEnabled(!Lock);
    Map1->menuAction()->setEnabled(!Lock);
    StatusBarAdapter->SetSimpleText("");
    ProgressBarAdapter->SetPosition(0);
}

void TForm1::ClearMemo()
{
    Memo1->clear();
    WarningCells.clear();
}

void TForm1::RunBegins()
{
    LockGUI(true);
    ClearMemo();
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
    QStringList lines;
    lines.reserve(qsizetype(Lines.size()));
    for (const std::string &line : Lines)
        lines.push_back(Q(line));
    Memo1->setPlainText(lines.join('\n'));
    // The cells of the warnings (from 0, as map cells), line by line, for a click on a line.
    WarningCells.clear();
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
