#pragma once

#include <QFileDialog>

class QLabel;

// An open-file dialog for pictures that shows a small preview and the size of
// the file under the cursor, so the map maker can tell the painted worlds apart.
class TOpenPictureDialog : public QFileDialog
{
    Q_OBJECT

public:
    explicit TOpenPictureDialog(QWidget *Parent = nullptr);

    // What the preview shows now: the picture's size as "W x H", or "(None)".
    QString GetPreviewText() const;

private:
    void ShowPreview(const QString &Path);

    QLabel *Preview = nullptr;
    QLabel *PreviewText = nullptr;
};
