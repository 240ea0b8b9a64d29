#include "viewer/ViewerRules.h"

#include <QTest>
#include <limits>

class TestViewerRules : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void statusTexts()
    {
        QCOMPARE(viewer::positionText(2, 12), QStringLiteral("3 / 12"));
        QCOMPARE(viewer::positionText(0, 10000), QStringLiteral("1 / 10000")); // no grouping
        QCOMPARE(viewer::zoomText(1.0), QStringLiteral("100%"));
        QCOMPARE(viewer::zoomText(0.999), QStringLiteral("99%"));
        QCOMPARE(viewer::zoomText(0.756), QStringLiteral("75%"));
        QCOMPARE(viewer::zoomText(2.0), QStringLiteral("200%"));
        QCOMPARE(viewer::zoomText(20.0), QStringLiteral("2000%"));
    }

    void zoomTextNeverOverflows()
    {
        QCOMPARE(viewer::zoomText(1e300), QStringLiteral("9223372036854775807%"));
        QCOMPARE(viewer::zoomText(std::numeric_limits<double>::infinity()),
                 QStringLiteral("9223372036854775807%"));
        QCOMPARE(viewer::zoomText(std::numeric_limits<double>::quiet_NaN()), QStringLiteral("0%"));
        QCOMPARE(viewer::zoomText(-1e300), QStringLiteral("-9223372036854775808%"));
    }

    void navigatorThresholds()
    {
        QVERIFY(!viewer::isNavigatorVisible(true, QRectF(0, 0, 0.995, 1.0), false));
        QVERIFY(viewer::isNavigatorVisible(true, QRectF(0, 0, 0.985, 1.0), false));
        QVERIFY(viewer::isNavigatorVisible(true, QRectF(0, 0, 1.0, 0.5), false));
        QVERIFY(viewer::isNavigatorVisible(true, QRectF(0, 0, 1.0, 1.0), true));
        QVERIFY(!viewer::isNavigatorVisible(false, QRectF(0, 0, 0.5, 0.5), true));
        QCOMPARE(viewer::navigatorBottomInset(false), 12);
        QCOMPARE(viewer::navigatorBottomInset(true), 72);
    }
};

QTEST_MAIN(TestViewerRules)
#include "tst_viewerrules.moc"
