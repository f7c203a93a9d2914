#include "PictureDialog.h"

#include <QFileInfo>
#include <QGridLayout>
#include <QImageReader>
#include <QLabel>
#include <QVBoxLayout>

namespace {

// Edge of the square preview area in pixels.
constexpr int PreviewSide = 160;
// A preview decodes the whole picture; beyond this many pixels (a full-size
// world is 25 million) only the size is shown, to keep browsing quick.
constexpr qint64 MaxPreviewPixels = 64ll * 1024 * 1024;

} // namespace

TOpenPictureDialog::TOpenPictureDialog(QWidget *Parent) : QFileDialog(Parent)
{
    // The preview lives in Qt's own dialog; a native one has no room for it.
    setOption(QFileDialog::DontUseNativeDialog);
    setAcceptMode(QFileDialog::AcceptOpen);
    setFileMode(QFileDialog::ExistingFile);

    auto *box = new QWidget(this);
    auto *column = new QVBoxLayout(box);
    column->setContentsMargins(0, 0, 0, 0);
    Preview = new QLabel(box);
    Preview->setObjectName("Preview");
    Preview->setFixedSize(PreviewSide, PreviewSide);
    Preview->setAlignment(Qt::AlignCenter);
    Preview->setFrameShape(QFrame::StyledPanel);
    PreviewText = new QLabel(box);
    PreviewText->setObjectName("PreviewText");
    PreviewText->setAlignment(Qt::AlignCenter);
    column->addWidget(Preview);
    column->addWidget(PreviewText);
    column->addStretch();
    if (auto *grid = qobject_cast<QGridLayout *>(layout()))
        grid->addWidget(box, 1, grid->columnCount(), 3, 1);

    connect(this, &QFileDialog::currentChanged, this, &TOpenPictureDialog::ShowPreview);
    ShowPreview(QString());
}

QString TOpenPictureDialog::GetPreviewText() const
{
    return PreviewText->text();
}

void TOpenPictureDialog::ShowPreview(const QString &Path)
{
    Preview->clear();
    PreviewText->setText(tr("(None)"));
    if (Path.isEmpty() || !QFileInfo(Path).isFile())
        return;

    QImageReader reader(Path);
    const QSize size = reader.size();
    if (!reader.canRead() || !size.isValid())
        return;
    PreviewText->setText(QStringLiteral("%1 x %2").arg(size.width()).arg(size.height()));
    if (qint64(size.width()) * size.height() > MaxPreviewPixels)
        return;
    reader.setScaledSize(size.scaled(PreviewSide - 4, PreviewSide - 4, Qt::KeepAspectRatio).expandedTo(QSize(1, 1)));
    const QImage image = reader.read();
    if (!image.isNull())
        Preview->setPixmap(QPixmap::fromImage(image));
}
