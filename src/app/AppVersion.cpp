#include "app/AppVersion.h"

namespace app {

namespace {

QString textOr(const QVariantMap& info, const QString& key, const QString& fallback)
{
    const QVariant value = info.value(key);
    if (value.typeId() != QMetaType::QString)
        return fallback;
    const QString text = value.toString().trimmed();
    // An empty build number would read "Version 0.1 ()".
    return text.isEmpty() ? fallback : text;
}

} // namespace

QVariantMap buildInfo()
{
    QVariantMap info;
#ifdef PELU_VERSION
    info.insert(QStringLiteral("version"), QStringLiteral(PELU_VERSION));
#endif
#ifdef PELU_BUILD_NUMBER
    info.insert(QStringLiteral("build"), QStringLiteral(PELU_BUILD_NUMBER));
#endif
    return info;
}

QString appVersion(const QVariantMap& info)
{
    return QStringLiteral("%1 (%2)").arg(
        textOr(info, QStringLiteral("version"), QStringLiteral("1.0")),
        textOr(info, QStringLiteral("build"), QStringLiteral("1")));
}

} // namespace app
