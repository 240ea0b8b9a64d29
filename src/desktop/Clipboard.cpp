#include "desktop/Clipboard.h"

#include "base/BackgroundTask.h"

#include <QBuffer>
#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QImageWriter>
#include <QMimeData>
#include <QPointer>
#include <QUrl>

namespace desktop {

namespace {

// What file managers read to paste a copied file.
const QString kCopiedFilesType = QStringLiteral("x-special/gnome-copied-files");

QMimeData* fileData(const QUrl& file)
{
    auto* data = new QMimeData;
    if (file.isLocalFile()) {
        data->setUrls({file});
        data->setData(kCopiedFilesType, "copy\n" + file.toEncoded());
    }
    return data;
}

QByteArray encodedPng(const QImage& image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "png");
    // The fastest deflate level: a paste waits for this, and the pasting program keeps or
    // recompresses what it gets anyway.
    writer.setQuality(80);
    return writer.write(image) ? bytes : QByteArray();
}

} // namespace

void copyImage(const QImage& image, const QUrl& file)
{
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (!clipboard)
        return;
    QMimeData* offered = fileData(file);
    clipboard->setMimeData(offered);
    // The clipboard deletes what it offers once another program takes it over.
    const QPointer<QMimeData> ours(offered);
    base::runInBackground(
        clipboard, [image] { return encodedPng(image); },
        [clipboard, ours, file](const QByteArray& png) {
            if (!ours || clipboard->mimeData() != ours || png.isEmpty())
                return;
            QMimeData* withPicture = fileData(file);
            withPicture->setData(QStringLiteral("image/png"), png);
            clipboard->setMimeData(withPicture);
        });
}

} // namespace desktop
