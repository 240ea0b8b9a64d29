// Pictures as the screen shows them: HDR pictures tone-mapped, and every picture converted into
// the display's own profile, set as the window system would set it.
#include "../support/DisplayProfiles.h"
#include "Fixtures.h"

#include "imaging/EarlyDecode.h"
#include "imaging/ImageService.h"
#include "imaging/colour/DisplayColour.h"
#include "imaging/decoders/Decoding.h"
#include "imaging/pixels/Histogram.h"
#include "imaging/pixels/Thumbnail.h"

#include <QColorSpace>
#include <QtTest>

using namespace fixtures;

namespace {

// The centre of each of the three patches side by side.
QList<QRgb> patchColours(const QImage& image)
{
    QList<QRgb> colours;
    const int side = image.width() / 3;
    for (int i = 0; i < 3; ++i)
        colours.append(image.pixel(side * i + side / 2, image.height() / 2));
    return colours;
}

QString describe(const QList<QRgb>& colours)
{
    QStringList parts;
    for (QRgb c : colours)
        parts.append(rgbText(c));
    return parts.join(QStringLiteral(", "));
}

QImage solid(QColor colour, const QColorSpace& space = {})
{
    QImage image(64, 48, QImage::Format_RGB32);
    image.fill(colour);
    if (space.isValid())
        image.setColorSpace(space);
    return image;
}

QRgb centreOf(const std::optional<QImage>& image)
{
    return image ? image->pixel(image->width() / 2, image->height() / 2) : qRgba(0, 0, 0, 0);
}

} // namespace

class TestScreenColour : public QObject, private FixtureFolder {
    Q_OBJECT

private Q_SLOTS:
    void cleanup() { imaging::setDisplayProfile({}); }

    // PQ and HLG pictures of patches of known light, as BT.2390's tone map shows them on an
    // sRGB screen, through the decode for the window and the strip's thumbnail alike.
    void hdrPatchesAreToneMapped_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QRgb>("white");
        QTest::addColumn<QRgb>("red");
        QTest::addColumn<QRgb>("green");
        QTest::addColumn<int>("tolerance");
        const auto add = [](const char* name, QRgb white, QRgb red, QRgb green, int tolerance) {
            QTest::newRow(name) << dataFile(name) << white << red << green << tolerance;
        };
        for (const char* name :
             {"hdr-pq.heic", "hdr-hlg.heic", "hdr-pq.avif", "hdr-pq-thumbnail.heic"})
            add(name, kToneMappedWhite, kToneMappedRed, kToneMappedGreen, 2);
        // As phones write them, in BT.2020 YCbCr: its rounding alone moves red's green by three.
        add("hdr-pq-ycbcr.avif", kToneMappedWhite, kToneMappedRed, kToneMappedGreen, 3);
        // Eight bits of PQ are coarse (red's green code stands for 13.4 to 14.1 nits), but
        // still tone-mapped rather than shown as sRGB.
        add("hdr-pq-8bit.heic", kToneMappedWhite, kToneMappedRed, kToneMappedGreen, 6);
        // A brighter source (a clli of 4000 nits) leaves less of the screen to its diffuse white.
        add("hdr-pq-4000nits.heic", qRgb(208, 208, 208), qRgb(228, 35, 8), qRgb(0, 220, 0), 2);
    }
    void hdrPatchesAreToneMapped()
    {
        QFETCH(QString, file);
        QFETCH(QRgb, white);
        QFETCH(QRgb, red);
        QFETCH(QRgb, green);
        QFETCH(int, tolerance);
        const std::optional<QImage> shown = imaging::decodeImage(file);
        QVERIFY(shown);
        const std::optional<QImage> thumbnail = imaging::makeThumbnail(file);
        QVERIFY(thumbnail);
        const QList<QRgb> wanted{white, red, green};
        for (const QImage& image : {*shown, *thumbnail}) {
            const QList<QRgb> got = patchColours(image);
            for (int i = 0; i < 3; ++i)
                QVERIFY2(colourDistance(got[i], wanted[i]) <= tolerance,
                         qPrintable(describe(got) + " for " + describe(wanted)));
            QCOMPARE(image.colorSpace(), QColorSpace(QColorSpace::SRgb));
        }
        // Read as stored (rotation checks), the picture is neither tone-mapped nor refused.
        const std::optional<QImage> stored = imaging::decodeAsStored(file);
        QVERIFY(stored);
        QVERIFY(colourDistance(patchColours(*stored)[0], white) > 10);
    }

    // sRGB red and Display P3 red on a screen with Adobe RGB's primaries, from every family
    // that carries a colour space, and grey (it becomes colour: its grey is the screen's too);
    // the same with the profile as tables (Little CMS); and, with no profile published, what
    // Pelu always showed.
    void picturesGoIntoTheDisplayProfile_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QRgb>("plain");
        QTest::addColumn<QRgb>("onAdobe");
        const QImage srgbRed = solid(Qt::red);
        const QImage p3Red = solid(Qt::red, QColorSpace::DisplayP3);
        QVERIFY(srgbRed.save(path("red.png")));
        QVERIFY(srgbRed.save(path("red.jpg"), "JPEG", 100));
        QVERIFY(writeHeif(path("red.heic"), srgbRed, {}));
        QVERIFY(p3Red.save(path("p3red.png")));
        QVERIFY(p3Red.save(path("p3red.jpg"), "JPEG", 100));
        QVERIFY(writeHeif(path("p3red.heic"), p3Red, {.nclxPrimaries = 12}));
        QVERIFY(writeFile(path("p3red.psd"),
                          psdBytes(p3Red, {.icc = p3Red.colorSpace().iccProfile()})));
        for (const char* name : {"red.png", "red.jpg", "red.heic"})
            QTest::newRow(name) << path(name) << qRgb(255, 0, 0) << qRgb(219, 0, 0);
        for (const char* name : {"p3red.png", "p3red.jpg", "p3red.heic", "p3red.psd"})
            QTest::newRow(name) << path(name) << qRgb(255, 0, 0) << qRgb(239, 0, 0);
        QImage grey(16, 16, QImage::Format_Grayscale8);
        grey.fill(128);
        QVERIFY(grey.save(path("grey.png")));
        QTest::newRow("grey.png") << path("grey.png") << qRgb(128, 128, 128)
                                  << QColorSpace(QColorSpace::SRgb)
                                         .transformationToColorSpace(QColorSpace::AdobeRgb)
                                         .map(qRgb(128, 128, 128));
    }
    void picturesGoIntoTheDisplayProfile()
    {
        QFETCH(QString, file);
        QFETCH(QRgb, plain);
        QFETCH(QRgb, onAdobe);
        // JPEG and HEVC move a solid red by a level or two before any conversion.
        const int tolerance = 3;
        const QRgb shown = centreOf(imaging::decodeImage(file));
        QVERIFY2(colourDistance(shown, plain) <= tolerance, qPrintable(rgbText(shown)));

        QVERIFY(imaging::setDisplayProfile(displayprofiles::adobeRgb()));
        QVERIFY(!imaging::displayProfile()->isTableBased());
        const std::optional<QImage> matrix = imaging::decodeImage(file);
        QVERIFY2(colourDistance(centreOf(matrix), onAdobe) <= tolerance,
                 qPrintable(rgbText(centreOf(matrix))));
        QCOMPARE(matrix->colorSpace(), imaging::displayProfile()->colorSpace());

        QVERIFY(imaging::setDisplayProfile(displayprofiles::adobeRgbInTables()));
        QVERIFY(imaging::displayProfile()->isTableBased());
        const std::optional<QImage> table = imaging::decodeImage(file);
        QVERIFY2(colourDistance(centreOf(table), onAdobe) <= tolerance,
                 qPrintable(rgbText(centreOf(table))));
        QVERIFY(imaging::displayProfile()->holds(*table));

        QVERIFY(imaging::setDisplayProfile({}));
        QCOMPARE(centreOf(imaging::decodeImage(file)), shown);
    }

    // A profile sampled into grids shows what Little CMS itself makes of it; profiles that
    // say nothing usable count as none.
    void profilesAreTakenOrIgnored()
    {
        const QByteArray grids = displayprofiles::adobeRgbInGrids();
        QVERIFY(QFile(path("red.png")).exists() || solid(Qt::red).save(path("red.png")));
        const QImage colours = [] {
            QImage image(4, 1, QImage::Format_RGB32);
            const QRgb c[4] = {qRgb(255, 0, 0), qRgb(0, 200, 0), qRgb(40, 80, 160),
                               qRgb(128, 128, 128)};
            for (int x = 0; x < 4; ++x)
                image.setPixel(x, 0, c[x]);
            return image;
        }();
        QVERIFY(colours.save(path("colours.png")));
        QVERIFY(imaging::setDisplayProfile(grids));
        QVERIFY(imaging::displayProfile() && imaging::displayProfile()->isTableBased());
        const std::optional<QImage> shown = imaging::decodeImage(path("colours.png"));
        QVERIFY(shown);
        for (int x = 0; x < 4; ++x) {
            const QRgb expected = displayprofiles::throughLittleCms(grids, colours.pixel(x, 0));
            QVERIFY2(colourDistance(shown->pixel(x, 0), expected) <= 1,
                     qPrintable(rgbText(shown->pixel(x, 0)) + " for " + rgbText(expected)));
        }
        // The same bytes again change nothing; the same screen read anew knows its pictures.
        QVERIFY(!imaging::setDisplayProfile(grids));

        for (const QByteArray& useless :
             {QByteArray("not a profile"), QByteArray(132, '\0'),
              QColorSpace(QColorSpace::SRgb).iccProfile(), displayprofiles::adobeRgb().left(200)}) {
            imaging::setDisplayProfile(displayprofiles::adobeRgb());
            imaging::setDisplayProfile(useless);
            QVERIFY(!imaging::displayProfile());
            QCOMPARE(centreOf(imaging::decodeImage(path("red.png"))), qRgb(255, 0, 0));
        }
    }

    // HDR pictures go straight into a display profile of primaries and one curve, and through
    // Display P3 into one of tables: either way about what the sRGB rendering looks like there.
    void hdrPicturesGoIntoTheDisplayProfile()
    {
        const QString file = dataFile("hdr-pq.heic");
        const std::optional<QImage> onSrgb = imaging::decodeImage(file);
        QVERIFY(onSrgb);
        const QColorTransform toAdobe =
            QColorSpace(QColorSpace::SRgb).transformationToColorSpace(QColorSpace::AdobeRgb);
        for (const QByteArray& profile :
             {displayprofiles::adobeRgb(), displayprofiles::adobeRgbInTables()}) {
            imaging::setDisplayProfile(profile);
            const std::optional<QImage> shown = imaging::decodeImage(file);
            QVERIFY(shown);
            QVERIFY(imaging::displayProfile()->holds(*shown));
            const QList<QRgb> got = patchColours(*shown);
            const QList<QRgb> srgb = patchColours(*onSrgb);
            for (int i = 0; i < 3; ++i) {
                // BT.2020 green lies beyond sRGB: only the two inside it compare this way.
                if (i == 2)
                    continue;
                const QRgb expected = toAdobe.map(srgb[i]);
                // Near black Adobe RGB's curve turns the sRGB copy's rounding into several levels.
                const auto near = [](int a, int b) { return std::abs(a - b) <= (b < 32 ? 6 : 3); };
                QVERIFY2(near(qRed(got[i]), qRed(expected)) &&
                             near(qGreen(got[i]), qGreen(expected)) &&
                             near(qBlue(got[i]), qBlue(expected)),
                         qPrintable(rgbText(got[i]) + " for " + rgbText(expected)));
            }
            // On the wider screen the green keeps more of its saturation than sRGB's clip left.
            const QRgb clipped = toAdobe.map(srgb[2]);
            QVERIFY2(qRed(got[2]) + 20 < qRed(clipped) && qGreen(got[2]) > 200,
                     qPrintable(rgbText(got[2]) + " against " + rgbText(clipped)));
        }
    }

    // Copy Image hands over sRGB, tagged, whatever the screen's profile; the histogram counts
    // the colours as shown.
    void shownPicturesGoBackToSrgb()
    {
        QImage colours(32, 32, QImage::Format_RGB32);
        colours.fill(QColor(200, 120, 40));
        QVERIFY(colours.save(path("orange.png")));
        for (const QByteArray& profile :
             {QByteArray(), displayprofiles::adobeRgb(), displayprofiles::adobeRgbInTables()}) {
            imaging::setDisplayProfile(profile);
            const std::optional<QImage> shown = imaging::decodeImage(path("orange.png"));
            QVERIFY(shown);
            const QImage copy = imaging::inSrgb(*shown);
            QCOMPARE(copy.colorSpace(), QColorSpace(QColorSpace::SRgb));
            QVERIFY(copy.textKeys().isEmpty());
            QVERIFY2(colourDistance(copy.pixel(5, 5), qRgb(200, 120, 40)) <= 2,
                     qPrintable(rgbText(copy.pixel(5, 5))));
            const std::optional<imaging::HistogramData> counted = imaging::computeHistogram(*shown);
            QVERIFY(counted);
            QCOMPARE(counted->red[size_t(qRed(shown->pixel(5, 5)))], 32 * 32);
        }
    }

    // The photo decoded at start in one screen's colours is not taken once the screen turns
    // out to have another profile: it is decoded again.
    void earlyDecodeFollowsTheProfile()
    {
        QVERIFY(solid(Qt::red).save(path("early.png")));
        {
            imaging::EarlyDecode early(path("early.png"), {},
                                       [] { return displayprofiles::adobeRgb(); });
            early.applicationStarted();
            early.done().waitForFinished();
            QVERIFY(!early.takeResult(path("early.png")));
        }
        imaging::EarlyDecode early(path("early.png"), {},
                                   [] { return displayprofiles::adobeRgb(); });
        early.applicationStarted();
        imaging::setDisplayProfile(displayprofiles::adobeRgb());
        const auto taken = early.takeResult(path("early.png"));
        QVERIFY(taken && taken->first);
        QVERIFY2(colourDistance(centreOf(taken->first), qRgb(219, 0, 0)) <= 1,
                 qPrintable(rgbText(centreOf(taken->first))));
    }
};

QTEST_GUILESS_MAIN(TestScreenColour)
#include "tst_screencolour.moc"
