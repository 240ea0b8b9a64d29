#include "state/AppState.h"
#include "state/WorkPool.h"
#include "thumbnails/ThumbnailCache.h"

#include <QElapsedTimer>
#include <QFutureWatcherBase>
#include <QImageWriter>
#include <QSettings>
#include <QTemporaryDir>
#include <QThreadPool>
#include <QtTest>

#include <functional>

// A long session of stepping through a short folder with preloading and thumbnails on, as the
// strip asks for them. Run under the sanitizers it also proves that nothing leaks.
class TestSoak : public QObject {
    Q_OBJECT

    QTemporaryDir m_config;
    QTemporaryDir m_dir;
    QList<QUrl> m_files;
    // Run after every step with the model and the step's number.
    QList<std::function<void(AppState&, int)>> m_stepHooks;
    std::unique_ptr<ThumbnailCache> m_thumbnails = std::make_unique<ThumbnailCache>();

private Q_SLOTS:
    void initTestCase()
    {
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_config.path());
        const QStringList formats{"png", "jpg", "ico", "bmp", "webp", "tif"};
        for (int i = 0; i < formats.size(); ++i) {
            QImage image(40 + i, 30, QImage::Format_RGB32);
            image.fill(QColor::fromHsv(i * 50, 200, 200));
            const QString path = m_dir.filePath(QStringLiteral("step%1.%2").arg(i).arg(formats[i]));
            QVERIFY(QImageWriter(path, formats[i].toLatin1()).write(image));
            m_files.append(QUrl::fromLocalFile(path));
        }
    }

    void stepsThreeThousandTimesWithinTheCacheBound()
    {
        constexpr int kSteps = 3000;
        // The strip asks for the shown file's picture and its neighbours' at every step.
        m_stepHooks.append([this](AppState& state, int) {
            const qint64 at = state.currentIndex();
            for (qint64 offset : {0, 1, -1}) {
                const QUrl url = m_files[(at + offset + m_files.size()) % m_files.size()];
                const auto ticket = m_thumbnails->loadThumbnail(url, &state, [](const auto&) {});
                if (offset == -1)
                    m_thumbnails->cancel(ticket); // scrolled away at once
            }
        });
        AppState state;
        state.openFile(m_files.first());
        QCOMPARE(state.imageFiles(), m_files);
        const qint64 count = m_files.size();
        QElapsedTimer timer;
        timer.start();
        for (int step = 0; step < kSteps; ++step) {
            // Mostly forward, now and then back, so both neighbours are wanted and dropped.
            if (step % 7 == 3)
                state.previousImage();
            else
                state.nextImage();
            QVERIFY(state.currentImage());
            const qint64 at = state.currentIndex();
            const QList<QUrl> neighbours{m_files[(at + 1) % count],
                                         m_files[(at - 1 + count) % count]};
            const QList<QUrl> cached = state.preloadedImages().keys();
            for (const QUrl& url : cached)
                QVERIFY2(neighbours.contains(url), qPrintable(url.fileName()));
            for (const auto& hook : m_stepHooks)
                hook(state, step);
            // Let the preloads that are ready land, as between a person's key presses.
            QCoreApplication::processEvents();
        }
        workPool().waitForDone();
        QVERIFY(m_thumbnails->thumbnailsMade() >= m_files.size() - 1);
        m_thumbnails.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        // Every background decode handed its result back and its watcher is gone.
        QCOMPARE(state.findChildren<QFutureWatcherBase*>().size(), 0);
        // Late arrivals may sit in the cache until the next trim, and go then.
        state.preloadAdjacentImages();
        QVERIFY(state.preloadedImages().size() <= 2);
        qInfo("%d steps in %lld ms", kSteps, timer.elapsed());
    }
};

QTEST_GUILESS_MAIN(TestSoak)
#include "tst_soak.moc"
