// Handing the shown file to the rest of the desktop: clipboard, file manager, other
// applications, Trash.
#include "state/AppState.h"

#include "desktop/Clipboard.h"
#include "desktop/FileManager.h"
#include "desktop/Trash.h"
#include <QCollator>
#include <QStringList>
#include <algorithm>

namespace {
// The desktop-file ids this viewer is installed under: its own, and its old name.
const QStringList kOwnDesktopIds = {QStringLiteral("org.pelu.Pelu.desktop"),
                                    QStringLiteral("pelu.desktop")};
} // namespace

void AppState::copyImageToPasteboard()
{
    // The whole picture, never its preview.
    finishPreview();
    if (m_currentImage)
        desktop::copyImage(*m_currentImage);
}

void AppState::revealInFinder()
{
    if (m_currentURL)
        desktop::revealFile(m_currentURL->toLocalFile());
}

QList<OpenWithApp> AppState::openWithApplications() const
{
    if (!m_currentURL)
        return {};
    QList<OpenWithApp> apps = desktop::applicationsForFile(m_currentURL->toLocalFile());
    apps.removeIf([](const OpenWithApp& app) { return kOwnDesktopIds.contains(app.id); });
    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::stable_sort(apps.begin(), apps.end(), [&collator](const auto& a, const auto& b) {
        return collator.compare(a.name, b.name) < 0;
    });
    return apps;
}

void AppState::openWith(const QUrl& application)
{
    if (m_currentURL)
        desktop::launchApplication(application, *m_currentURL);
}

void AppState::deleteCurrentImage()
{
    if (!m_currentURL)
        return;
    const QUrl url = *m_currentURL;
    if (const auto error = desktop::moveToTrash(url.toLocalFile())) {
        setDeleteError(*error);
        return;
    }
    // The index names the shown file in every flow; should it not, the trashed file still
    // leaves the list and no other does.
    QList<QUrl> files = m_imageFiles;
    const bool inStep =
        m_currentIndex >= 0 && m_currentIndex < files.size() && files.at(m_currentIndex) == url;
    const qsizetype at = inStep ? m_currentIndex : files.indexOf(url);
    if (at >= 0)
        files.removeAt(at);
    setImageFiles(files);
    takePreloadedImage(url);
    showInPlaceOfRemoved(m_currentIndex);
}
