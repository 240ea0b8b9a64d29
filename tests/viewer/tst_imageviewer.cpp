#include "ViewerFixture.h"
#include "imaging/EarlyDecode.h"
#include "overlays/NavigatorOverlay.h"
#include "viewer/IncompleteNotice.h"
#include "viewer/ViewerRules.h"

#include <QMimeData>
#include <limits>

class TestImageViewer : public QObject {
    Q_OBJECT

    testsupport::OwnSettings m_settings;

private Q_SLOTS:
    void init() { testsupport::settings().clear(); }

    // Truncated toward zero, never overflowing; the navigator shows once even a little of the
    // picture is out of view.
    void statusTextsAndNavigatorRule()
    {
        QCOMPARE(viewer::positionText(0, 10000), QStringLiteral("1 / 10000")); // no grouping
        using limits = std::numeric_limits<double>;
        const QList<double> zooms{0.999, 20.0, 1e300, limits::infinity(), limits::quiet_NaN(),
                                  -1e300};
        const QString most = QStringLiteral("9223372036854775807%");
        const QStringList texts{"99%", "2000%", most, most, "0%", "-9223372036854775808%"};
        for (qsizetype i = 0; i < zooms.size(); ++i)
            QCOMPARE(viewer::zoomText(zooms[i]), texts[i]);
        QVERIFY(!viewer::isNavigatorVisible(true, QRectF(0, 0, 0.995, 1.0), false));
        QVERIFY(viewer::isNavigatorVisible(true, QRectF(0, 0, 0.985, 1.0), false));
        QVERIFY(!viewer::isNavigatorVisible(false, QRectF(0, 0, 0.5, 0.5), true));
    }

    // Why a file cannot be shown, under its name; with no file open the empty state invites one
    // again, and an image from the preloads clears the reason.
    void emptyStateSaysWhyAFileCannotBeShown_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("content"); // none: no such file
        QTest::addColumn<QString>("text");
        // A PNG header of 20000 × 20000 pixels, and no pixels.
        const QByteArray tooLarge =
            QByteArray::fromHex("89504e470d0a1a0a0000000d4948445200004e2000004e2008020000006c12d16e"
                                "0000000049444154");
        QTest::newRow("missing") << "gone.png" << QByteArray() << "This file no longer exists";
        QTest::newRow("damaged") << "cut.png" << QByteArray("\x89PNG\r\n\x1a\n")
                                 << "This file is damaged or incomplete";
        QTest::newRow("too large")
            << "huge.png" << tooLarge << "This image is larger than 200 megapixels";
        QTest::newRow("unsupported")
            << "notes.txt" << QByteArray("text") << "This kind of file can't be shown";
    }
    void emptyStateSaysWhyAFileCannotBeShown()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, content);
        QFETCH(QString, text);
        Fixture f;
        const auto urls = f.files(2);
        const QUrl url = QUrl::fromLocalFile(f.dir.filePath(name));
        QVERIFY(content.isNull() || testsupport::writeFile(url.toLocalFile(), content));
        f.state.openFile(url);
        QVERIFY(!f.state.currentImage());
        QVERIFY(f.emptyState()->isVisible());
        QCOMPARE(TestAccess::title(*f.emptyState()), name);
        QCOMPARE(TestAccess::hint(*f.emptyState()), text);
        f.state.setCurrentURL(std::nullopt);
        QCOMPARE(TestAccess::title(*f.emptyState()), QStringLiteral("Open an image to start"));
        QCOMPARE(TestAccess::hint(*f.emptyState()),
                 QStringLiteral("Drop a file or use File > Open"));
        f.state.setCurrentURL(url);
        f.state.goToImage(f.state.imageFiles().indexOf(urls[1]));
        QTRY_VERIFY(f.state.preloadedImages().contains(urls[0]));
        f.state.previousImage();
        QVERIFY(f.state.currentImage());
        QCOMPARE(f.state.decodeFailure(), imaging::DecodeFailure::none);
        QVERIFY(!f.emptyState()->isVisible());
    }

    // Until an image is shown, the empty state and no status bar; an image alone in its folder
    // shows only its zoom, and no strip.
    void emptyStateThenOneImageShowsOnlyZoom()
    {
        Fixture f;
        QVERIFY(f.emptyState()->isVisible());
        QVERIFY(!f.statusBar()->isVisible());
        QVERIFY(f.viewer->hasFocus());
        const auto urls = f.files(1);
        f.state.setShowThumbnailBar(true);
        auto* strip = new QWidget;
        f.viewer->setThumbnailBar(strip);
        f.state.openFile(urls[0]);
        QVERIFY(!f.emptyState()->isVisible());
        f.state.setMagnification(1.0);
        QCOMPARE(f.statusText(), QStringLiteral("100%"));
        QVERIFY(f.statusBar()->isVisible());
        QVERIFY(!strip->isVisible());
    }

    // A step tells of its new index, file and picture; the viewer lays itself out once for
    // all three, and a change the step did not make still reaches the screen.
    void aStepLaysTheViewerOutOnce()
    {
        Fixture f;
        const auto urls = f.files(3);
        f.state.openFile(urls[0]);
        QTRY_VERIFY(!f.state.isDecodingAhead(1));
        const int before = TestAccess::refreshCount(*f.viewer);
        f.press(Qt::Key_Right);
        QCOMPARE(f.state.currentIndex(), 1);
        QCOMPARE(TestAccess::refreshCount(*f.viewer), before + 1);
        QCOMPARE(f.statusText().left(5), QStringLiteral("2 / 3"));
        f.state.setShowThumbnailBar(!f.state.showThumbnailBar());
        QCOMPARE(TestAccess::refreshCount(*f.viewer), before + 2);
    }

    void dropOpensFirstFileAndRefusesOthers()
    {
        Fixture f;
        const auto urls = f.files(3);
        const auto accepted = [&f](QMimeData& data) {
            QDragEnterEvent enter({10, 10}, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(f.viewer, &enter);
            return enter.isAccepted();
        };
        QMimeData text, files;
        text.setText(QStringLiteral("hello"));
        QVERIFY(!accepted(text));
        files.setUrls({urls[1], urls[2], urls[0]});
        QVERIFY(accepted(files));
        QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &files, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(f.viewer, &drop);
        QCOMPARE(f.state.currentURL(), urls[1]);
    }

    // Sized for the new image when placed, 12 px in from the corner, above the strip when shown;
    // visible while part of the picture is out of view or while dragged.
    void navigatorPlacementFollowsTheImageAndTheStrip()
    {
        Fixture f;
        auto* navigator = new NavigatorOverlay(f.state);
        f.viewer->setNavigator(navigator);
        f.viewer->setThumbnailBar(new QWidget);
        f.state.openFile(f.files(3)[0]);
        f.state.setVisibleRect(QRectF(0, 0, 0.5, 0.5));
        QVERIFY(navigator->isVisible());
        const auto inset = [&] {
            return f.viewer->rect().bottomRight() - navigator->geometry().bottomRight();
        };
        QCOMPARE(navigator->size(), QSize(150, 113));
        QCOMPARE(inset(), QPoint(12, 12));
        f.state.setShowThumbnailBar(true);
        QCOMPARE(inset(), QPoint(12, 72));
        QImage portrait(300, 400, QImage::Format_RGB32);
        portrait.fill(Qt::gray);
        f.state.setCurrentImage(portrait);
        QCOMPARE(navigator->size(), QSize(113, 150));
        QCOMPARE(inset(), QPoint(12, 72));
        f.state.setVisibleRect(QRectF(0, 0, 1, 1));
        QVERIFY(!navigator->isVisible());
        f.state.setIsNavigatorDragging(true);
        QVERIFY(navigator->isVisible());
    }

    // Zoomed in, then past a file that can't be shown: the next image is fitted, no fade.
    void imageAfterTheEmptyStateGetsAFreshSurface()
    {
        Fixture f;
        const auto urls = f.files(3);
        QVERIFY(testsupport::writeFile(urls[1].toLocalFile(), "not an image"));
        f.state.openFile(urls[0]);
        f.state.setZoomAction(ZoomAction::zoomIn);
        QTRY_VERIFY(!f.state.zoomAction());
        QVERIFY(!TestAccess::scrollArea(*TestAccess::zoomView(*f.viewer))->isFitMode());

        f.press(Qt::Key_Right);
        QVERIFY(!f.state.currentImage());
        QVERIFY(!TestAccess::zoomView(*f.viewer));
        f.press(Qt::Key_Right);
        ZoomableImageView* zoom = TestAccess::zoomView(*f.viewer);
        QVERIFY(zoom && zoom->isVisible());
        const ZoomScrollArea* area = TestAccess::scrollArea(*zoom);
        QTRY_COMPARE(f.state.magnification(), area->minMagnification());
        QVERIFY(area->isFitMode());
        QVERIFY(!TestAccess::isFading(*TestAccess::imageView(*zoom)));
    }

    // A photo cut off part way is shown with the notice over it; a whole one without.
    void cutOffPhotoSaysSo()
    {
        Fixture f;
        const auto urls = f.files(2);
        const QString cut = f.dir.filePath("pic3.jpg");
        QVERIFY(QFile::copy(PELU_SOURCE_DIR "/tests/viewer/data/cut-off-photo.jpg", cut));
        f.state.openFile(QUrl::fromLocalFile(cut));
        QVERIFY(f.state.currentImage());
        auto* notice = f.viewer->findChild<IncompleteNotice*>();
        QVERIFY(notice && notice->isVisible());
        QVERIFY(!f.emptyState()->isVisible());
        f.state.openFile(urls[0]);
        QVERIFY(!notice->isVisible());
    }

    // At start the neighbours wait for the first picture to be drawn, not for the hold to end.
    void firstDrawnPictureReleasesHeldPreloads()
    {
        Fixture f;
        const auto urls = f.files(3);
        f.state.holdPreloads(60'000);
        f.state.openFile(urls[0]);
        QTRY_COMPARE(f.state.preloadedImages().size(), 2);
    }

    // The photo's preview fills the document of the whole picture, which then takes its place
    // on the same surface without a fade or a change of zoom.
    void previewIsReplacedInPlace()
    {
        QTemporaryDir folder;
        const QString photo = folder.filePath(QStringLiteral("photo.jpg"));
        QImage picture(1600, 1200, QImage::Format_RGB32);
        picture.fill(Qt::darkCyan);
        QVERIFY(picture.save(photo));
        imaging::EarlyDecode early(photo, [] { return QSize(400, 300); });
        Fixture f(&early);
        f.state.openFile(QUrl::fromLocalFile(photo));
        QVERIFY(f.state.currentPreview());
        ZoomableImageView* zoom = TestAccess::zoomView(*f.viewer);
        QVERIFY(zoom);
        zoom->applyPendingChanges();
        PannableImageView* view = TestAccess::imageView(*zoom);
        QCOMPARE(TestAccess::shownImage(*view).size(), QSize(400, 300));
        QCOMPARE(view->frameSize(), QSizeF(1600, 1200));
        QTRY_VERIFY(f.state.magnification() < 0.5);
        QVERIFY(!f.emptyState()->isVisible());
        const double fitted = f.state.magnification();
        // Drawn as it is, over the whole fitted rectangle.
        const QImage shot = view->grab().toImage();
        const QRect drawn = TestAccess::scrollArea(*zoom)->documentRectInViewport().toRect();
        for (const QPoint p :
             {drawn.center(), drawn.topLeft() + QPoint(2, 2), drawn.bottomRight() - QPoint(2, 2)}) {
            const QRgb c = shot.pixel(p);
            QVERIFY2(qRed(c) < 8 && qAbs(qGreen(c) - 128) < 8 && qAbs(qBlue(c) - 128) < 8,
                     qPrintable(QColor(c).name()));
        }

        QTRY_VERIFY(f.state.currentImage());
        zoom->applyPendingChanges();
        QCOMPARE(TestAccess::zoomView(*f.viewer), zoom);
        QCOMPARE(TestAccess::shownImage(*view).size(), QSize(1600, 1200));
        QCOMPARE(view->frameSize(), QSizeF(1600, 1200));
        QVERIFY(!TestAccess::isFading(*view));
        QCoreApplication::processEvents();
        QCOMPARE(f.state.magnification(), fitted);
    }

    void zoomRequestsInTheEmptyStateDoNothing()
    {
        Fixture f;
        const QRect frame = f.window.geometry();
        f.state.setDisplayMode(DisplayMode::autoSizeWindow);
        for (ZoomAction action : {ZoomAction::zoomIn, ZoomAction::fit, ZoomAction::actualSize}) {
            f.state.setZoomAction(action);
            QCoreApplication::processEvents();
            QVERIFY(!f.state.zoomAction());
        }
        f.state.setScrollTarget(QPointF(0.2, 0.2));
        QCoreApplication::processEvents();
        QVERIFY(!f.state.scrollTarget());
        QCOMPARE(f.window.geometry(), frame);
        QVERIFY(!TestAccess::zoomView(*f.viewer));
    }

    void imageChangeAndZoomShowTheStatusBarAgain()
    {
        Fixture f;
        const auto urls = f.files(2);
        f.state.openFile(urls[0]);
        f.state.setShowStatusBar(false);
        f.press(Qt::Key_Right);
        QVERIFY(f.state.showStatusBar());
        QVERIFY(TestAccess::isHideCountdownActive(f.state));
        f.state.setShowStatusBar(false);
        f.state.setZoomAction(ZoomAction::zoomOut);
        QVERIFY(f.state.showStatusBar());
    }
};

QTEST_MAIN(TestImageViewer)
#include "tst_imageviewer.moc"
