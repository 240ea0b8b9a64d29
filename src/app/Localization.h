#pragma once

class QCoreApplication;
class QLocale;

namespace app {

// Pelu's own texts and Qt's (file dialog, message boxes) in the locale's language, when there
// is a translation for it; English otherwise.
void installTranslations(QCoreApplication& application, const QLocale& locale);

} // namespace app
