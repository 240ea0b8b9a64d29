#include "desktop/Applications.h"

#include <QFile>

#include <gio/gdesktopappinfo.h>
#include <gio/gio.h>

#include <memory>

namespace desktop {

namespace {

struct GObjectRelease {
    void operator()(gpointer object) const { g_object_unref(object); }
};
template <typename T> using GPtr = std::unique_ptr<T, GObjectRelease>;

struct GFreeRelease {
    void operator()(gpointer memory) const { g_free(memory); }
};
using GText = std::unique_ptr<gchar, GFreeRelease>;

QString fromUtf8(const char* text)
{
    return text ? QString::fromUtf8(text) : QString();
}

QString iconName(GIcon* icon)
{
    if (G_IS_THEMED_ICON(icon)) {
        const gchar* const* names = g_themed_icon_get_names(G_THEMED_ICON(icon));
        return names && names[0] ? fromUtf8(names[0]) : QString();
    }
    if (G_IS_FILE_ICON(icon)) {
        const GText path(g_file_get_path(g_file_icon_get_file(G_FILE_ICON(icon))));
        return path ? QFile::decodeName(path.get()) : QString();
    }
    return {};
}

OpenWithApp describe(GAppInfo* info)
{
    OpenWithApp app;
    app.name = fromUtf8(g_app_info_get_name(info));
    app.id = fromUtf8(g_app_info_get_id(info));
    if (G_IS_DESKTOP_APP_INFO(info)) {
        if (const char* file = g_desktop_app_info_get_filename(G_DESKTOP_APP_INFO(info)))
            app.url = QUrl::fromLocalFile(QFile::decodeName(file));
    }
    if (GIcon* icon = g_app_info_get_icon(info))
        app.icon = iconName(icon);
    return app;
}

} // namespace

QList<OpenWithApp> applicationsForFile(const QString& path)
{
    const GPtr<GFile> file(g_file_new_for_path(QFile::encodeName(path).constData()));
    const GPtr<GFileInfo> info(g_file_query_info(file.get(), G_FILE_ATTRIBUTE_STANDARD_CONTENT_TYPE,
                                                 G_FILE_QUERY_INFO_NONE, nullptr, nullptr));
    const char* type = info ? g_file_info_get_content_type(info.get()) : nullptr;
    if (!type)
        return {};
    QList<OpenWithApp> apps;
    GList* found = g_app_info_get_all_for_type(type);
    for (GList* item = found; item; item = item->next)
        apps.append(describe(G_APP_INFO(item->data)));
    g_list_free_full(found, g_object_unref);
    return apps;
}

bool launchApplication(const QUrl& application, const QUrl& file)
{
    if (!application.isLocalFile() || !file.isValid())
        return false;
    const GPtr<GDesktopAppInfo> info(g_desktop_app_info_new_from_filename(
        QFile::encodeName(application.toLocalFile()).constData()));
    if (!info)
        return false;
    // The file goes over as one URI argument: no shell ever sees it.
    QByteArray uri = file.toString(QUrl::FullyEncoded).toUtf8();
    GList uris{uri.data(), nullptr, nullptr};
    GError* error = nullptr;
    const bool launched = g_app_info_launch_uris(G_APP_INFO(info.get()), &uris, nullptr, &error);
    if (error)
        g_error_free(error);
    return launched;
}

QIcon applicationIcon(const OpenWithApp& app)
{
    if (app.icon.isEmpty())
        return {};
    return app.icon.startsWith(QLatin1Char('/')) ? QIcon(app.icon) : QIcon::fromTheme(app.icon);
}

} // namespace desktop
