// The controls of the main window, top to bottom: menu, the input, output and
// generation group boxes, the warning memo, the panel with Quit, the progress
// bar and the status bar.
#include "UnitMain.h"

#include <QAction>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QStyle>
#include <QVBoxLayout>

#include <algorithm>

namespace {

// The window's client area at 96 dpi, without the menu bar.
constexpr int ClientWidth = 506;
constexpr int ClientHeight = 446;
// Height of the panel that holds the Quit button.
constexpr int PanelHeight = 50;
// The file names and the resolution stand out in bold green (#008000).
const QColor ValueColor(0, 128, 0);
// The memo's money green.
const QColor MemoColor(0xC0, 0xDC, 0xC0);
// The window's font: MS Sans Serif 8 pt where it exists, a plain sans serif elsewhere.
const char *const FontFamily = "MS Sans Serif";
constexpr int FontPoints = 8;

QAction *MakeAction(QMenu *Menu, const char *Name, const QString &Text, const QString &Hint)
{
    QAction *action = Menu->addAction(Text);
    action->setObjectName(Name);
    action->setStatusTip(Hint);
    action->setToolTip(Hint);
    return action;
}

QLabel *MakeLabel(QWidget *Parent, const char *Name, const QString &Text)
{
    auto *label = new QLabel(Text, Parent);
    label->setObjectName(Name);
    return label;
}

// A label that shows a value (a file name, a size) in bold green, as plain text
// whatever characters the value holds.
QLabel *MakeValueLabel(QWidget *Parent, const char *Name, const QString &Text)
{
    QLabel *label = MakeLabel(Parent, Name, Text);
    label->setTextFormat(Qt::PlainText);
    QFont font = label->font();
    font.setBold(true);
    label->setFont(font);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, ValueColor);
    label->setPalette(palette);
    label->setMinimumWidth(1); // a long path is cut rather than widening the window
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

QPushButton *MakeButton(QWidget *Parent, const char *Name, const QString &Text, QStyle::StandardPixmap Glyph)
{
    auto *button = new QPushButton(Text, Parent);
    button->setObjectName(Name);
    if (Glyph != QStyle::SP_CustomBase)
        button->setIcon(Parent->style()->standardIcon(Glyph));
    return button;
}

// The style's "ignore" glyph for Quit; styles without one get the close glyph.
QIcon IgnoreGlyph(QStyle *Style)
{
    const QIcon ignore = Style->standardIcon(QStyle::SP_DialogIgnoreButton);
    return ignore.isNull() ? Style->standardIcon(QStyle::SP_DialogCloseButton) : ignore;
}

QGroupBox *MakeGroupBox(QWidget *Parent, const char *Name, const QString &Title)
{
    auto *box = new QGroupBox(Title, Parent);
    box->setObjectName(Name);
    return box;
}

void SameWidth(std::initializer_list<QWidget *> Widgets)
{
    int width = 0;
    for (QWidget *widget : Widgets)
        width = std::max(width, widget->sizeHint().width());
    for (QWidget *widget : Widgets)
        widget->setMinimumWidth(width);
}

} // namespace

void TForm1::CreateMenu()
{
    MainMenu1 = menuBar();
    MainMenu1->setObjectName("MainMenu1");

    File1 = MainMenu1->addMenu(tr("File"));
    File1->setObjectName("File1");
    File1->setToolTipsVisible(true);
    Import1 = File1->addMenu(tr("&Import"));
    Import1->setObjectName("Import1");
    Import1->menuAction()->setStatusTip(tr("Import a map"));
    Import1->menuAction()->setToolTip(tr("Import a map"));
    Import1->setToolTipsVisible(true);
    BMPmap1 = MakeAction(Import1, "BMPmap1", tr("&BMP map"), tr("Import BMP map"));
    MapAsPicture1 = MakeAction(Import1, "MapAsPicture1", tr("Map as picture..."),
                               tr("Read a map file back into a picture to paint on"));
    Exit1 = MakeAction(File1, "Exit1", tr("&Exit"), tr("Close the application"));

    CreateMapMenu();

    N1 = MainMenu1->addMenu(tr("Help"));
    N1->setObjectName("N1");
    N1->setToolTipsVisible(true);
    Help1 = MakeAction(N1, "Help1", tr("About"), tr("About"));

    connect(BMPmap1, &QAction::triggered, this, &TForm1::BMPmap1Click);
    connect(MapAsPicture1, &QAction::triggered, this, &TForm1::MapAsPicture1Click);
    connect(Exit1, &QAction::triggered, this, &TForm1::Exit1Click);
    connect(Help1, &QAction::triggered, this, &TForm1::Help1Click);
}

void TForm1::CreateControls()
{
    QFont windowFont(FontFamily, FontPoints);
    windowFont.setStyleHint(QFont::SansSerif);
    setFont(windowFont);

    auto *client = new QWidget(this);
    client->setObjectName("Client");
    setCentralWidget(client);
    auto *column = new QVBoxLayout(client);
    column->setContentsMargins(4, 4, 4, 0);
    column->setSpacing(4);

    // Input file.
    GroupBox1 = MakeGroupBox(client, "GroupBox1", tr(" Input File "));
    Label2 = MakeLabel(GroupBox1, "Label2", tr("BMP file:"));
    Label3 = MakeValueLabel(GroupBox1, "Label3", QString());
    Label4 = MakeLabel(GroupBox1, "Label4", tr("Resolution:"));
    Label5 = MakeValueLabel(GroupBox1, "Label5", QStringLiteral("?"));
    CBLoadBMPOnStartup = new QCheckBox(tr("Load BMP on startup:"), GroupBox1);
    CBLoadBMPOnStartup->setObjectName("CBLoadBMPOnStartup");
    CBLoadBMPOnStartup->setLayoutDirection(Qt::RightToLeft); // the text left of the box
    BitBtn1 = MakeButton(GroupBox1, "BitBtn1", tr("Load BMP"), QStyle::SP_CustomBase);
    Label9 = MakeLabel(GroupBox1, "Label9", tr("Heights picture:"));
    Label10 = MakeValueLabel(GroupBox1, "Label10", QString());
    BitBtn7 = MakeButton(GroupBox1, "BitBtn7", tr("Heights..."), QStyle::SP_CustomBase);
    BitBtn8 = MakeButton(GroupBox1, "BitBtn8", tr("None"), QStyle::SP_CustomBase);
    auto *heightsButtons = new QHBoxLayout;
    heightsButtons->setContentsMargins(0, 0, 0, 0);
    heightsButtons->addWidget(BitBtn7);
    heightsButtons->addWidget(BitBtn8);
    auto *inputGrid = new QGridLayout(GroupBox1);
    inputGrid->addWidget(Label2, 0, 0);
    inputGrid->addWidget(Label3, 0, 1);
    inputGrid->addWidget(BitBtn1, 0, 2);
    inputGrid->addWidget(Label9, 1, 0);
    inputGrid->addWidget(Label10, 1, 1);
    inputGrid->addLayout(heightsButtons, 1, 2);
    inputGrid->addWidget(Label4, 2, 0);
    inputGrid->addWidget(Label5, 2, 1);
    inputGrid->addWidget(CBLoadBMPOnStartup, 2, 2, Qt::AlignRight);
    inputGrid->setColumnStretch(1, 1);
    column->addWidget(GroupBox1);

    // Output file.
    GroupBox2 = MakeGroupBox(client, "GroupBox2", tr(" Output File "));
    Label1 = MakeLabel(GroupBox2, "Label1", tr("map0.mul file:"));
    Label6 = MakeValueLabel(GroupBox2, "Label6", QString());
    BitBtn2 = MakeButton(GroupBox2, "BitBtn2", tr("Set map0.mul"), QStyle::SP_CustomBase);
    // Under the name as it was chosen: the file it stands for and how it is written.
    Label7 = MakeLabel(GroupBox2, "Label7", QString());
    Label7->setTextFormat(Qt::PlainText);
    Label7->setMinimumWidth(1);
    Label7->setWordWrap(true);
    Label7->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto *outputGrid = new QGridLayout(GroupBox2);
    outputGrid->addWidget(Label1, 0, 0);
    outputGrid->addWidget(Label6, 0, 1);
    outputGrid->addWidget(BitBtn2, 0, 2);
    outputGrid->addWidget(Label7, 1, 1, 1, 2);
    outputGrid->setColumnStretch(1, 1);
    column->addWidget(GroupBox2);

    // Both boxes line up: captions of one width, right-hand column of one width.
    SameWidth({Label1, Label2, Label4, Label9});
    SameWidth({BitBtn1, BitBtn2, CBLoadBMPOnStartup});
    BitBtn1->setMinimumWidth(BitBtn2->minimumWidth());

    // Terrain generation.
    GroupBox3 = MakeGroupBox(client, "GroupBox3", tr(" Terrain Generation "));
    BitBtn4 = MakeButton(GroupBox3, "BitBtn4", tr("Generate Terrain"), QStyle::SP_DialogOkButton);
    BitBtn3 = MakeButton(GroupBox3, "BitBtn3", tr("Abort"), QStyle::SP_BrowserStop);
    SameWidth({BitBtn4, BitBtn3});
    auto *generateRow = new QHBoxLayout(GroupBox3);
    generateRow->addWidget(BitBtn4);
    generateRow->addWidget(BitBtn3);
    generateRow->addStretch();
    column->addWidget(GroupBox3);

    // Warnings; the ampersand is doubled so that one shows.
    GroupBox4 = MakeGroupBox(client, "GroupBox4", tr("Warnings && Errors"));
    Memo1 = new QPlainTextEdit(GroupBox4);
    Memo1->setObjectName("Memo1");
    Memo1->setReadOnly(true);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    QPalette memoPalette = Memo1->palette();
    memoPalette.setColor(QPalette::Base, MemoColor);
    memoPalette.setColor(QPalette::Text, Qt::black);
    Memo1->setPalette(memoPalette);
    // Under the memo, not in it (its lines are warnings with cells): how the last run ended.
    Label8 = MakeLabel(GroupBox4, "Label8", QString());
    Label8->setTextFormat(Qt::PlainText);
    Label8->setMinimumWidth(1);
    Label8->setWordWrap(true);
    Label8->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto *memoBox = new QVBoxLayout(GroupBox4);
    memoBox->addWidget(Memo1);
    memoBox->addWidget(Label8);
    column->addWidget(GroupBox4, 1);

    // Quit.
    Panel2 = new QFrame(client);
    Panel2->setObjectName("Panel2");
    Panel2->setFixedHeight(PanelHeight);
    BitBtn6 = MakeButton(Panel2, "BitBtn6", tr("&Quit"), QStyle::SP_CustomBase);
    BitBtn6->setIcon(IgnoreGlyph(style()));
    BitBtn6->setMinimumWidth(BitBtn4->minimumWidth());
    auto *panelRow = new QHBoxLayout(Panel2);
    panelRow->addStretch();
    panelRow->addWidget(BitBtn6);
    column->addWidget(Panel2);

    ProgressBar1 = new QProgressBar(client);
    ProgressBar1->setObjectName("ProgressBar1");
    ProgressBar1->setTextVisible(false);
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setValue(0);
    column->addWidget(ProgressBar1);

    // One text, in a label of its own, so that menu hints shown for a moment
    // do not wipe out the stage text.
    StatusBar1 = new QStatusBar(this);
    StatusBar1->setObjectName("StatusBar1");
    StatusText = new QLabel(StatusBar1);
    StatusText->setObjectName("StatusText");
    StatusText->setTextFormat(Qt::PlainText);
    StatusBar1->addWidget(StatusText, 1);
    setStatusBar(StatusBar1);

    ProgressBarAdapter = std::make_unique<TProgressBarAdapter>(*ProgressBar1, [this] { PaintPending(); });
    StatusBarAdapter = std::make_unique<TStatusBarAdapter>(*StatusText, [this] { PaintPending(); });

    connect(BitBtn1, &QPushButton::clicked, this, &TForm1::BMPmap1Click);
    connect(BitBtn2, &QPushButton::clicked, this, &TForm1::BitBtn2Click);
    connect(BitBtn7, &QPushButton::clicked, this, &TForm1::BitBtn7Click);
    connect(BitBtn8, &QPushButton::clicked, this, &TForm1::BitBtn8Click);
    connect(BitBtn4, &QPushButton::clicked, this, &TForm1::BitBtn4Click);
    connect(BitBtn3, &QPushButton::clicked, this, &TForm1::BitBtn3Click);
    connect(BitBtn6, &QPushButton::clicked, this, &TForm1::BitBtn6Click);

    resize(ClientWidth, ClientHeight + MainMenu1->sizeHint().height());
}
