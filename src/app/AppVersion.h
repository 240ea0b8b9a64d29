#pragma once

#include <QString>
#include <QVariantMap>

namespace app {

// What the build says about itself: "version" (major.minor) and "build", both texts.
QVariantMap buildInfo();

// "version (build)"; a value that is missing, not text or blank reads as 1.0 and 1.
QString appVersion(const QVariantMap& info);

} // namespace app
