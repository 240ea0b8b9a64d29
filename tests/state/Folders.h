#pragma once

#include <QColor>
#include <QImage>
#include <QList>
#include <QTemporaryDir>
#include <QUrl>

// A picture of one colour as wide as asked, so that a test can tell which version is shown.
inline bool savePicture(const QString& path, int width, int height = 8,
                        const char* format = nullptr)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::darkGreen);
    return image.save(path, format);
}

// A folder of n small PNGs named img1.png .. imgN.png, 8 + i pixels wide, each a different grey.
inline QList<QUrl> makeFolder(const QTemporaryDir& dir, int n)
{
    QList<QUrl> urls;
    for (int i = 1; i <= n; ++i) {
        QImage image(8 + i, 8, QImage::Format_RGB32);
        image.fill(QColor(i * 20, i * 20, i * 20));
        const QString path = dir.filePath(QStringLiteral("img%1.png").arg(i));
        image.save(path);
        urls.append(QUrl::fromLocalFile(path));
    }
    return urls;
}
