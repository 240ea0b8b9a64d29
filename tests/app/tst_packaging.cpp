#include "state/AppState.h"

#include <QMimeDatabase>
#include <QSettings>
#include <QTest>

// The desktop entry claims the files the viewer lists, so the desktop offers Pelu for them.
class TestPackaging : public QObject {
    Q_OBJECT

    QMap<QString, QString> m_entry;

private Q_SLOTS:
    void initTestCase()
    {
        QFile file(QStringLiteral(PELU_SOURCE_DIR "/packaging/pelu.desktop"));
        QVERIFY(file.open(QIODevice::ReadOnly | QIODevice::Text));
        for (const QByteArray& line : file.readAll().split('\n')) {
            const qsizetype equals = line.indexOf('=');
            if (equals > 0)
                m_entry.insert(QString::fromUtf8(line.left(equals)),
                               QString::fromUtf8(line.mid(equals + 1)));
        }
    }

    void claimsTheTypeOfEverySupportedExtension()
    {
        const QStringList claimed =
            m_entry.value(QStringLiteral("MimeType")).split(QLatin1Char(';'), Qt::SkipEmptyParts);
        const QMimeDatabase types;
        QCOMPARE(AppState::supportedExtensions().size(), 19);
        for (const QString& extension : AppState::supportedExtensions()) {
            const QMimeType type = types.mimeTypeForFile(QStringLiteral("x.") + extension,
                                                         QMimeDatabase::MatchExtension);
            QVERIFY2(!type.isDefault(), qPrintable(extension));
            QStringList names = type.aliases();
            names.append(type.name());
            const bool found = std::any_of(names.cbegin(), names.cend(), [&](const QString& name) {
                return claimed.contains(name);
            });
            QVERIFY2(found, qPrintable(extension + QLatin1String(": ") + type.name()));
        }
    }
};

QTEST_MAIN(TestPackaging)
#include "tst_packaging.moc"
