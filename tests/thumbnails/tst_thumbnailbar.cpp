#include "../support/TestSupport.h"
#include "state/AppState.h"
#include "thumbnails/ThumbnailBar.h"
#include "thumbnailcache/ThumbnailCache.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>

namespace {

// Names say what the stand-in image service makes of a file: a picture of that colour, or
// nothing for "broken".
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
                             image.fill(QColor(name));
                             if (rewritten)
                                 image.invertPixels();
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
    // Just outside the cell's left edge, under the outline's outer half.
    bool isOutlined(qint64 position)
    {
        const QRectF cell = bar.cellRect(position);
        return pixel(QPoint(int(cell.left()) - 1, int(cell.center().y()))) == QColor(Qt::white);
    }
    void click(QPointF point) { QTest::mouseClick(&bar, Qt::LeftButton, {}, point.toPoint()); }
};

} // namespace

class TestThumbnailBar : public QObject {
    Q_OBJECT

    testsupport::OwnSettings m_settings;

private Q_SLOTS:
    // Pictures fill their cells, a file without one keeps the grey placeholder, and the white
    // outline is on the current cell only, following currentIndex.
    void cellsShowPicturesAndTheCurrentOutline()
    {
        QList<QUrl> files = folder(6);
        files[2] = fileUrl(QStringLiteral("broken"), 2);
        files[4] = fileUrl(QStringLiteral("blue"), 4);
        Fixture f(files);
        QTRY_COMPARE(f.middleOf(4), QColor(Qt::blue));
        QCOMPARE(f.middleOf(0), QColor(Qt::red));
        const QColor placeholder = f.middleOf(2);
        const QColor strip = f.pixel(QPoint(2, 2));
        QVERIFY2(placeholder.red() == placeholder.green() && placeholder.red() > strip.red() + 10,
                 qPrintable(placeholder.name() + " on " + strip.name()));
        QVERIFY(f.isOutlined(0) && !f.isOutlined(1));
        f.state.setCurrentIndex(3);
        QVERIFY(f.isOutlined(3) && !f.isOutlined(0));
    }

    // Only a press and release on the same cell is a click; the current cell and the gaps
    // between cells change nothing.
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
        QVERIFY(f.isOutlined(3));
    }

    // Appearing, the strip shows the current cell in the centre at once, also when the current
    // image changes in the same turn; every later change scrolls the current cell to the
    // centre, or as near as the ends allow.
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

        f.state.setCurrentIndex(2);
        QTRY_VERIFY(!f.bar.isScrolling());
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
        QVERIFY2(mostAlive <= 1280 / 48 + 2 + 2 * 4, qPrintable(QString::number(mostAlive)));
        QVERIFY(f.bar.findChildren<QWidget*>().isEmpty());
        QVERIFY2(f.made < 150, qPrintable(QString::number(f.made)));
    }

    // A cell whose file changes, by a new list or a rewrite, shows the new file's picture.
    void cellsFollowTheirFiles()
    {
        Fixture f(folder(5));
        QTRY_COMPARE(f.middleOf(1), QColor(Qt::red));
        f.state.setImageFiles(folder(5, QStringLiteral("lime")));
        QTRY_COMPARE(f.middleOf(1), QColor(Qt::green));
        f.rewritten = true;
        f.cache.remove(fileUrl(QStringLiteral("lime"), 1));
        QTRY_COMPARE(f.middleOf(1), QColor(Qt::magenta));
        QCOMPARE(f.middleOf(0), QColor(Qt::green));
        // A new screen profile: every picture shown is made again, in the new colours.
        f.cache.clear();
        // They arrive one by one, the old pictures kept until then.
        QTRY_COMPARE(f.middleOf(0), QColor(Qt::magenta));
        QTRY_COMPARE(f.middleOf(4), QColor(Qt::magenta));
    }
};

QTEST_MAIN(TestThumbnailBar)
#include "tst_thumbnailbar.moc"
