#include "app/QtSaveDialog.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QStandardPaths>

namespace kelvo {

namespace {

bool hasPngSuffix(const QString &path)
{
    return path.endsWith(QLatin1String(".png"), Qt::CaseInsensitive);
}

// Gives a typed name its ".png" before the dialog accepts it, so that the
// dialog's own question about replacing a file is asked for the name that
// is really written ("shot.jpg" becomes "shot.jpg.png").
class PngFileDialog final : public QFileDialog {
public:
    using QFileDialog::QFileDialog;

    void accept() override
    {
        const QStringList files = selectedFiles();
        if (!files.isEmpty() && !files.first().isEmpty() && !QFileInfo(files.first()).isDir()
            && !hasPngSuffix(files.first())) {
            // selectFile() leaves a focused name field as it is.
            if (auto *name = findChild<QLineEdit *>(QStringLiteral("fileNameEdit")))
                name->setText(QFileInfo(files.first()).fileName() + QStringLiteral(".png"));
        }
        QFileDialog::accept();
    }
};

} // namespace

std::optional<QString> QtSaveDialog::choosePNGLocation(const QString &proposedName) {
    QString folder = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    if (folder.isEmpty() || !QDir(folder).exists()) folder = QDir::homePath();
    PngFileDialog dialog(nullptr, QCoreApplication::translate("QtSaveDialog", "图片另存为 PNG"), folder);
    // Qt's own dialog, so that the suffix is added before the replace
    // question; a desktop's dialog would be asked with the bare name.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilter(QStringLiteral("PNG (*.png)"));
    dialog.setDefaultSuffix(QStringLiteral("png"));
    dialog.selectFile(proposedName);
    dialog.setWindowFlag(Qt::WindowStaysOnTopHint);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    const QStringList files = dialog.selectedFiles();
    if (files.isEmpty() || files.first().isEmpty()) return std::nullopt;
    // The dialog added the suffix (and asked about replacing that file).
    if (!hasPngSuffix(files.first())) return std::nullopt;
    return files.first();
}

} // namespace kelvo
