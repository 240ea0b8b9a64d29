#include "desktop/Applications.h"

#include <QCollator>
#include <QFile>
#include <QStringList>
#include <QFileInfo>

#include "desktop/GioLibrary.h"
#include "desktop/WindowSystem.h"

#include <algorithm>
#include <memory>

namespace desktop {

namespace {

// The desktop-file ids this viewer is installed under: its own, and its old name.
const QStringList kOwnDesktopIds = {QStringLiteral("org.pelu.Pelu.desktop"),
                                    QStringLiteral("pelu.desktop")};

// Only reached once gioLibrary() has been checked.
const GioLibrary& gio()
{
    return *gioLibrary();
}

struct GObjectRelease {
    void operator()(gpointer object) const { gio().g_object_unref(object); }
};
template <typename T> using GPtr = std::unique_ptr<T, GObjectRelease>;

struct GFreeRelease {
    void operator()(gpointer memory) const { gio().g_free(memory); }
};
using GText = std::unique_ptr<gchar, GFreeRelease>;

QString fromUtf8(const char* text)
{
    return text ? QString::fromUtf8(text) : QString();
}

QString iconName(GIcon* icon)
{
    const GioLibrary& g = gio();
    if (g.is(icon, g.g_themed_icon_get_type())) {
        const gchar* const* names = g.g_themed_icon_get_names(reinterpret_cast<GThemedIcon*>(icon));
        return names && names[0] ? fromUtf8(names[0]) : QString();
    }
    if (g.is(icon, g.g_file_icon_get_type())) {
        const GText path(
            g.g_file_get_path(g.g_file_icon_get_file(reinterpret_cast<GFileIcon*>(icon))));
        return path ? QFile::decodeName(path.get()) : QString();
    }
    return {};
}

OpenWithApp describe(GAppInfo* info)
{
    const GioLibrary& g = gio();
    OpenWithApp app;
    app.name = fromUtf8(g.g_app_info_get_name(info));
    app.id = fromUtf8(g.g_app_info_get_id(info));
    if (g.is(info, g.g_desktop_app_info_get_type())) {
        if (const char* file =
                g.g_desktop_app_info_get_filename(reinterpret_cast<GDesktopAppInfo*>(info)))
            app.url = QUrl::fromLocalFile(QFile::decodeName(file));
    }
    if (GIcon* icon = g.g_app_info_get_icon(info))
        app.icon = iconName(icon);
    return app;
}

} // namespace

QList<OpenWithApp> applicationsForFile(const QString& path)
{
    if (!gioLibrary())
        return {};
    const GioLibrary& g = gio();
    const GPtr<GFile> file(g.g_file_new_for_path(QFile::encodeName(path).constData()));
    const GPtr<GFileInfo> info(g.g_file_query_info(file.get(),
                                                   G_FILE_ATTRIBUTE_STANDARD_CONTENT_TYPE,
                                                   G_FILE_QUERY_INFO_NONE, nullptr, nullptr));
    const char* type = info ? g.g_file_info_get_content_type(info.get()) : nullptr;
    if (!type)
        return {};
    QList<OpenWithApp> apps;
    GList* found = g.g_app_info_get_all_for_type(type);
    for (GList* item = found; item; item = item->next)
        apps.append(describe(static_cast<GAppInfo*>(item->data)));
    g.g_list_free_full(found, g.g_object_unref);
    return apps;
}

bool launchApplication(const QUrl& application, const QUrl& file)
{
    if (!application.isLocalFile() || !file.isValid() || !gioLibrary())
        return false;
    const GioLibrary& g = gio();
    const GPtr<GDesktopAppInfo> info(g.g_desktop_app_info_new_from_filename(
        QFile::encodeName(application.toLocalFile()).constData()));
    if (!info)
        return false;
    // The file goes over as one URI argument: no shell ever sees it.
    QByteArray uri = file.toString(QUrl::FullyEncoded).toUtf8();
    GList uris{uri.data(), nullptr, nullptr};
    // With a token of its own, so that its window may come to the front; never with the one
    // Pelu was started with, which is spent.
    const GPtr<GAppLaunchContext> context(g.g_app_launch_context_new());
    const ActivationToken token =
        activationTokenForLaunch(QFileInfo(application.toLocalFile()).completeBaseName());
    const auto pass = [&](const char* name, const QString& value) {
        if (value.isEmpty())
            g.g_app_launch_context_unsetenv(context.get(), name);
        else
            g.g_app_launch_context_setenv(context.get(), name, value.toUtf8().constData());
    };
    pass("XDG_ACTIVATION_TOKEN", token.wayland);
    pass("DESKTOP_STARTUP_ID", token.x11);
    GError* error = nullptr;
    const bool launched = g.g_app_info_launch_uris(reinterpret_cast<GAppInfo*>(info.get()), &uris,
                                                   context.get(), &error);
    if (error)
        g.g_error_free(error);
    return launched;
}

QList<OpenWithApp> applicationsToOpen(const QString& path)
{
    QList<OpenWithApp> apps = applicationsForFile(path);
    apps.removeIf([](const OpenWithApp& app) { return kOwnDesktopIds.contains(app.id); });
    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::stable_sort(apps.begin(), apps.end(), [&collator](const auto& a, const auto& b) {
        return collator.compare(a.name, b.name) < 0;
    });
    return apps;
}

QIcon applicationIcon(const OpenWithApp& app)
{
    if (app.icon.isEmpty())
        return {};
    return app.icon.startsWith(QLatin1Char('/')) ? QIcon(app.icon) : QIcon::fromTheme(app.icon);
}

} // namespace desktop
