#include "../support/TestSupport.h"
#include "base/WorkPool.h"
#include "state/AppState.h"
#include "thumbnailcache/ThumbnailCache.h"

#include <QFutureWatcherBase>
#include <QImageWriter>
#include <QThreadPool>
#include <QtTest>

// A long session of stepping through a short folder with preloading and thumbnails on, as the
// strip asks for them. Run under the sanitizers it also proves that nothing leaks.
class TestSoak : public QObject {
    Q_OBJECT

    testsupport::OwnSettings m_config;
    QTemporaryDir m_dir;

private Q_SLOTS:
    void stepsThreeThousandTimesWithinTheCacheBound()
    {
        QList<QUrl> files;
        const QStringList formats{"png", "jpg", "ico", "bmp", "webp", "tif"};
        for (int i = 0; i < formats.size(); ++i) {
            QImage image(40 + i, 30, QImage::Format_RGB32);
            image.fill(QColor::fromHsv(i * 50, 200, 200));
            const QString path = m_dir.filePath(QStringLiteral("step%1.%2").arg(i).arg(formats[i]));
            QVERIFY(QImageWriter(path, formats[i].toLatin1()).write(image));
            files.append(QUrl::fromLocalFile(path));
        }
        const qint64 count = files.size();
        auto thumbnails = std::make_unique<ThumbnailCache>();
        AppState state;
        // The copies held are only the neighbours', checked at every change, arrivals of decodes
        // started long ago included.
        QStringList faults;
        connect(&state, &AppState::preloadedImagesChanged, &state, [&] {
            const qint64 at = state.currentIndex();
            const QList<QUrl> neighbours{files[(at + 1) % count], files[(at - 1 + count) % count]};
            for (const QUrl& url : state.preloadedImages().keys()) {
                if (!neighbours.contains(url))
                    faults.append(state.windowTitle() + " holds " + url.fileName());
            }
        });
        state.openFile(files.first());
        QCOMPARE(state.imageFiles(), files);
        for (int step = 0; step < 3000; ++step) {
            // Mostly forward, now and then back, so both neighbours are wanted and dropped.
            if (step % 7 == 3)
                state.previousImage();
            else
                state.nextImage();
            QVERIFY(state.currentImage());
            const qint64 at = state.currentIndex();
            // The strip asks for the shown picture and its neighbours'; one is scrolled away.
            for (qint64 offset : {0, 1, -1}) {
                const auto ticket = thumbnails->loadThumbnail(files[(at + offset + count) % count],
                                                              &state, [](const auto&) {});
                if (offset == -1)
                    thumbnails->cancel(ticket);
            }
            // Preloads land between key presses, but now and then two steps come at once.
            if (step % 4 != 0)
                QCoreApplication::processEvents();
        }
        base::preloadPool().waitForDone();
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join(", ")));
        QCOMPARE_GE(thumbnails->thumbnailsMade(), count - 1);
        thumbnails.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        // Every background decode handed its result back and its watcher is gone.
        QCOMPARE(state.findChildren<QFutureWatcherBase*>().size(), 0);
        // Late arrivals may sit in the cache until the next trim, and go then.
        state.preloadAdjacentImages();
        QVERIFY(state.preloadedImages().size() <= 2);
    }
};

QTEST_GUILESS_MAIN(TestSoak)
#include "tst_soak.moc"
