#include "../support/TestSupport.h"
#include "state/AppState.h"
#include "thumbnailcache/ThumbnailCache.h"
#include "thumbnails/ThumbnailBar.h"

#include <QSignalSpy>
#include <QTest>

#include <atomic>

namespace {

// Names say what the stand-in makes of a file: a picture of that colour, none for "broken".
QUrl fileUrl(const QString& name, qint64 n)
{
    return QUrl::fromLocalFile(QStringLiteral("/nowhere/%1-%2.jpg").arg(name).arg(n));
}

QList<QUrl> folder(qint64 count, const QString& name = QStringLiteral("red"))
{
    QList<QUrl> urls;
    for (qint64 n = 0; n < count; ++n)
        urls.append(fileUrl(name, n));
    return urls;
}

struct Fixture {
    AppState state;
    std::atomic<int> made{0};
    std::atomic<bool> rewritten{false};
    ThumbnailCache cache{[this](const QString& path) -> std::optional<QImage> {
                             ++made;
                             const QString name = QFileInfo(path).baseName().section('-', 0, 0);
                             if (name == QLatin1String("broken"))
                                 return std::nullopt;
                             QImage image(120, 90, QImage::Format_RGB32);
                             image.fill(rewritten ? QColor(Qt::magenta) : QColor(name));
                             return image;
                         },
                         1};
    ThumbnailBar bar{state, cache};

    explicit Fixture(const QList<QUrl>& files, int width = 640)
    {
        state.setImageFiles(files);
        bar.resize(width, bar.sizeHint().height());
        bar.show();
        QVERIFY(QTest::qWaitForWindowExposed(&bar));
    }

    QColor pixel(QPoint point) { return bar.grab().toImage().pixelColor(point); }
    QColor middleOf(qint64 position) { return pixel(bar.cellRect(position).center().toPoint()); }
    void click(QPointF point) { QTest::mouseClick(&bar, Qt::LeftButton, {}, point.toPoint()); }
};

} // namespace

class TestThumbnailBar : public QObject {
    Q_OBJECT

    testsupport::OwnSettings m_settings;

private Q_SLOTS:
    // A click is a press and release on one cell; on the current cell or a gap, nothing.
    void aClickShowsThatImage()
    {
        Fixture f(folder(20));
        QSignalSpy changes(&f.state, &AppState::currentIndexChanged);
        f.click(f.bar.cellRect(3).center());
        QCOMPARE(f.state.currentIndex(), 3);
        f.click(f.bar.cellRect(3).center());
        f.click(f.bar.cellRect(4).topRight() + QPointF(2, 10));
        QTest::mousePress(&f.bar, Qt::LeftButton, {}, f.bar.cellRect(5).center().toPoint());
        QTest::mouseRelease(&f.bar, Qt::LeftButton, {}, f.bar.cellRect(6).center().toPoint());
        QCOMPARE(changes.count(), 1);
    }

    // Appearing, and when the current image changes in the same turn, the current cell is in
    // the centre at once; later changes scroll it there, or as near as the ends allow.
    void scrollsTheCurrentCellToTheCentre()
    {
        Fixture f(folder(300));
        f.bar.hide();
        f.state.setCurrentIndex(200);
        f.bar.show();
        QCOMPARE(f.bar.cellRect(200).center().x(), f.bar.width() / 2.0);
        f.state.setCurrentIndex(150);
        QVERIFY(!f.bar.isScrolling());
        QCOMPARE(f.bar.cellRect(150).center().x(), f.bar.width() / 2.0);
        QCoreApplication::processEvents();
        f.state.setCurrentIndex(151);
        QVERIFY(f.bar.isScrolling());
        QTRY_VERIFY(!f.bar.isScrolling());
        QCOMPARE(f.bar.cellRect(151).center().x(), f.bar.width() / 2.0);

        f.state.setCurrentIndex(299);
        QTRY_VERIFY(!f.bar.isScrolling());
        QCOMPARE(f.bar.cellRect(299).right(), f.bar.width() - 8.0);
        f.state.setCurrentIndex(1);
        QTRY_VERIFY(!f.bar.isScrolling());
        QCOMPARE(f.bar.cellRect(0).left(), 8.0);
        f.bar.hide();
        f.state.setCurrentIndex(298);
        f.bar.show();
        QCOMPARE(f.bar.scrollOffset(), f.bar.maximumScrollOffset());
    }

    // Opening 10,000 files makes a screenful of cells; flicking through them all keeps no more
    // alive, makes no widgets, and makes thumbnails only where the strip comes to rest.
    void tenThousandFilesStayLazy()
    {
        Fixture f(folder(10000), 1280);
        QTRY_VERIFY(f.made >= f.bar.liveCellCount());
        QCOMPARE(f.bar.cellsCreated(), f.bar.liveCellCount());
        qsizetype mostAlive = f.bar.liveCellCount();
        while (f.bar.scrollOffset() < f.bar.maximumScrollOffset()) {
            QWheelEvent flick(QPointF(600, 30), f.bar.mapToGlobal(QPointF(600, 30)),
                              QPoint(-1500, 0), QPoint(-1500 * 120 / 48, 0), Qt::NoButton,
                              Qt::NoModifier, Qt::ScrollUpdate, false);
            QCoreApplication::sendEvent(&f.bar, &flick);
            QTest::qWait(5); // room for the worker to take what is queued
            mostAlive = std::max(mostAlive, f.bar.liveCellCount());
        }
        QCOMPARE(f.bar.cellRect(9999).right(), 1280 - 8.0);
        QTRY_COMPARE(f.middleOf(9999), QColor(Qt::red));
        QCOMPARE_LE(mostAlive, 1280 / 48 + 2 + 2 * 4);
        QVERIFY(f.bar.findChildren<QWidget*>().isEmpty());
        QCOMPARE_LT(f.made.load(), 150);
    }

    // Pictures fill their cells, a file without one keeps the grey placeholder, and a cell
    // whose file changes, by a new list or a rewrite, shows the new picture. (The outline on the
    // current cell is checked in the real window, by strip_window_test.sh.)
    void cellsShowTheirFilesPictures()
    {
        QList<QUrl> files = folder(5);
        files[2] = fileUrl(QStringLiteral("broken"), 2);
        files[4] = fileUrl(QStringLiteral("blue"), 4);
        Fixture f(files);
        QTRY_COMPARE(f.middleOf(4), QColor(Qt::blue));
        QCOMPARE(f.middleOf(0), QColor(Qt::red));
        const QColor placeholder = f.middleOf(2);
        QCOMPARE(placeholder.red(), placeholder.green());
        QCOMPARE_GT(placeholder.red(), f.pixel(QPoint(2, 2)).red() + 10);

        f.state.setImageFiles(folder(5, QStringLiteral("lime")));
        QTRY_COMPARE(f.middleOf(1), QColor(Qt::green));
        f.rewritten = true;
        f.cache.remove(fileUrl(QStringLiteral("lime"), 1));
        QTRY_COMPARE(f.middleOf(1), QColor(Qt::magenta));
        QCOMPARE(f.middleOf(0), QColor(Qt::green));
        // A new screen profile: every picture is made again, the old ones kept until then.
        f.cache.clear();
        QTRY_COMPARE(f.middleOf(0), QColor(Qt::magenta));
        QTRY_COMPARE(f.middleOf(4), QColor(Qt::magenta));
    }
};

QTEST_MAIN(TestThumbnailBar)
#include "tst_thumbnailbar.moc"
