// The real program in a real window, its pixels read off the X server: HDR pictures tone-mapped
// onto the screen, and pictures shown through the profile published on the root window,
// changed while Pelu runs. With PELU_SHOT_DIR set the screenshots are kept there.
#include "../imaging/Fixtures.h"
#include "../support/DisplayProfiles.h"
#include "../support/X11Root.h"

#include <QGuiApplication>
#include <QPixmap>
#include <QProcess>
#include <QScreen>
#include <QtTest>

using namespace fixtures;

namespace {

QString run(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.start(program, arguments);
    process.waitForFinished(10000);
    return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
}

// The shown picture's area in a screenshot of the window, found from its middle: the run of
// pixels that are not the black around it, across and then down (the menu bar is not crossed).
QRect pictureIn(const QImage& shot)
{
    const auto lit = [&shot](int x, int y) {
        const QRgb c = shot.pixel(x, y);
        return qRed(c) + qGreen(c) + qBlue(c) > 90;
    };
    const int middle = shot.height() / 2;
    int left = 0, right = shot.width() - 1;
    while (left < shot.width() && !lit(left, middle))
        ++left;
    while (right > left && !lit(right, middle))
        --right;
    if (left >= right)
        return {};
    const int column = (left + right) / 2;
    int top = middle, bottom = middle;
    while (top > 0 && lit(column, top - 1))
        --top;
    while (bottom + 1 < shot.height() && lit(column, bottom + 1))
        ++bottom;
    return QRect(QPoint(left, top), QPoint(right, bottom));
}

} // namespace

class TestScreenWindow : public QObject, private FixtureFolder {
    Q_OBJECT

    QTemporaryDir m_home;
    QProcess m_pelu;
    QString m_window;

    static bool onX11() { return QGuiApplication::platformName() == QLatin1String("xcb"); }

    bool launch(const QString& file)
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_RUNTIME_DIR"}) {
            const QString folder = m_home.filePath(QString::fromLatin1(name));
            QDir().mkpath(folder);
            environment.insert(QString::fromLatin1(name), folder);
        }
        QFile::setPermissions(m_home.filePath(QStringLiteral("XDG_RUNTIME_DIR")),
                              QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                  QFileDevice::ExeOwner);
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        m_pelu.setProcessEnvironment(environment);
        m_pelu.start(QStringLiteral(PELU_BINARY), {file});
        const QString name = QFileInfo(file).fileName();
        for (int i = 0; i < 100 && m_window.isEmpty(); ++i) {
            QTest::qWait(100);
            m_window = run(QStringLiteral("xdotool"),
                           {QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                            QStringLiteral("--name"), name})
                           .section(QLatin1Char('\n'), 0, 0);
        }
        return !m_window.isEmpty();
    }

    void quit()
    {
        m_pelu.terminate();
        if (!m_pelu.waitForFinished(5000))
            m_pelu.kill();
        m_pelu.waitForFinished();
        m_window.clear();
    }

    // The window's pixels once the picture has settled, kept under name.
    QImage shot(const char* name)
    {
        QTest::qWait(700);
        const QImage image =
            QGuiApplication::primaryScreen()->grabWindow(m_window.toULong()).toImage();
        if (const QByteArray folder = qgetenv("PELU_SHOT_DIR"); !folder.isEmpty())
            image.save(QString::fromLocal8Bit(folder) + QLatin1Char('/') + QLatin1String(name) +
                       QStringLiteral(".png"));
        return image;
    }

    QRgb centreColour(const char* name)
    {
        const QImage image = shot(name);
        const QRect picture = pictureIn(image);
        return picture.isEmpty() ? qRgba(0, 0, 0, 0) : image.pixel(picture.center());
    }

    // Waits for the picture's centre to turn close to wanted.
    bool centreBecomes(QRgb wanted, const char* name, QRgb* got)
    {
        for (int i = 0; i < 10; ++i) {
            *got = centreColour(name);
            if (colourDistance(*got, wanted) <= 3)
                return true;
        }
        return false;
    }

private Q_SLOTS:
    void initTestCase()
    {
        if (!onX11())
            QSKIP("needs an X server (the _xvfb run)");
        x11root::remove("_ICC_PROFILE");
    }

    void cleanup()
    {
        quit();
        if (onX11())
            x11root::remove("_ICC_PROFILE");
    }

    // A PQ picture of white, BT.709 red and BT.2020 green at 203 nits, tone-mapped on screen.
    // HLG and AVIF take the same way to the window once decoded (see imaging_tst_screencolour).
    void hdrPatchesOnScreen()
    {
        QDir().mkpath(path("pq"));
        QVERIFY(QFile::copy(dataFile("hdr-pq-thumbnail.heic"), path("pq/pq.heic")));
        QVERIFY(launch(path("pq/pq.heic")));
        const QImage image = shot("pq");
        const QRect picture = pictureIn(image);
        QVERIFY(picture.width() > 300);
        const QList<QRgb> wanted{kToneMappedWhite, kToneMappedRed, kToneMappedGreen};
        QStringList seen;
        bool close = true;
        for (int i = 0; i < 3; ++i) {
            const QPoint centre(picture.x() + picture.width() * (2 * i + 1) / 6,
                                picture.center().y());
            const QRgb got = image.pixel(centre);
            seen.append(rgbText(got));
            close = close && colourDistance(got, wanted[i]) <= 2;
        }
        QVERIFY2(close, qPrintable(seen.join(", ")));
    }

    // sRGB red and Display P3 red with Adobe RGB's profile on the root window, and the profile
    // taken away while the window is open.
    void displayProfileOnScreen()
    {
        QImage red(300, 200, QImage::Format_RGB32);
        red.fill(Qt::red);
        QDir().mkpath(path("profiles"));
        QVERIFY(red.save(path("profiles/a-srgb-red.png")));
        red.setColorSpace(QColorSpace::DisplayP3);
        QVERIFY(red.save(path("profiles/b-p3-red.png")));

        QVERIFY(x11root::set("_ICC_PROFILE", displayprofiles::adobeRgb()));
        QVERIFY(launch(path("profiles/a-srgb-red.png")));
        QRgb got = 0;
        QVERIFY2(centreBecomes(qRgb(219, 0, 0), "srgb-red-on-adobe", &got),
                 qPrintable(rgbText(got)));
        QProcess::execute(
            QStringLiteral("xdotool"),
            {QStringLiteral("key"), QStringLiteral("--window"), m_window, QStringLiteral("Right")});
        QVERIFY2(centreBecomes(qRgb(239, 0, 0), "p3-red-on-adobe", &got), qPrintable(rgbText(got)));

        // Taken away: as without any profile, P3 red clipped to sRGB's.
        QVERIFY(x11root::remove("_ICC_PROFILE"));
        QVERIFY2(centreBecomes(qRgb(255, 0, 0), "p3-red-no-profile", &got),
                 qPrintable(rgbText(got)));
    }
};

QTEST_MAIN(TestScreenWindow)
#include "tst_screenwindow.moc"
