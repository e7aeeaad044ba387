#include "app/QtSaveDialog.h"

#include <QDir>
#include <QFileDialog>
#include <QStandardPaths>

namespace kelvo {

std::optional<QString> QtSaveDialog::choosePNGLocation(const QString &proposedName) {
    QString folder = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    if (folder.isEmpty() || !QDir(folder).exists()) folder = QDir::homePath();
    QFileDialog dialog(nullptr, QStringLiteral("图片另存为 PNG"), folder);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilter(QStringLiteral("PNG (*.png)"));
    dialog.setDefaultSuffix(QStringLiteral("png"));
    dialog.selectFile(proposedName);
    dialog.setWindowFlag(Qt::WindowStaysOnTopHint);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    const QStringList files = dialog.selectedFiles();
    if (files.isEmpty() || files.first().isEmpty()) return std::nullopt;
    QString path = files.first();
    // The filter only offers PNG; a name typed with another suffix still
    // gets a PNG file, so its name says so.
    if (!path.endsWith(QLatin1String(".png"), Qt::CaseInsensitive)) path += QStringLiteral(".png");
    return path;
}

} // namespace kelvo
