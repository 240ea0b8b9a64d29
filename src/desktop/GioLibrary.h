#pragma once

#include "base/RuntimeLibrary.h"

#include <gio/gdesktopappinfo.h>
#include <gio/gio.h>

namespace desktop {

#define PELU_GIO_FUNCTIONS(X)                                                                      \
    X(g_app_info_get_all_for_type)                                                                 \
    X(g_app_info_get_icon)                                                                         \
    X(g_app_info_get_id)                                                                           \
    X(g_app_info_get_name)                                                                         \
    X(g_app_info_launch_uris)                                                                      \
    X(g_app_launch_context_new)                                                                    \
    X(g_app_launch_context_setenv)                                                                 \
    X(g_app_launch_context_unsetenv)                                                               \
    X(g_desktop_app_info_get_filename)                                                             \
    X(g_desktop_app_info_get_type)                                                                 \
    X(g_desktop_app_info_new_from_filename)                                                        \
    X(g_error_free)                                                                                \
    X(g_file_get_path)                                                                             \
    X(g_file_icon_get_file)                                                                        \
    X(g_file_icon_get_type)                                                                        \
    X(g_file_info_get_content_type)                                                                \
    X(g_file_new_for_path)                                                                         \
    X(g_file_query_info)                                                                           \
    X(g_file_trash)                                                                                \
    X(g_free)                                                                                      \
    X(g_list_free_full)                                                                            \
    X(g_object_unref)                                                                              \
    X(g_themed_icon_get_names)                                                                     \
    X(g_themed_icon_get_type)                                                                      \
    X(g_type_check_instance_is_a)

// The functions of GIO (and of GObject and GLib under it) that finding and starting other
// applications, and the Trash, call. GIO is opened the first time they are wanted rather than linked: with
// what it pulls in it added about 4 ms to every start of the viewer.
struct GioLibrary {
    PELU_GIO_FUNCTIONS(PELU_FUNCTION_POINTER)

    // Whether instance is of type, or derives from it; false for none.
    template <typename T> bool is(T* instance, GType type) const
    {
        return instance &&
               g_type_check_instance_is_a(reinterpret_cast<GTypeInstance*>(instance), type);
    }
};

// Opened once, from any thread; null when GIO is missing or lacks one of the functions, and no
// other application is then offered.
const GioLibrary* gioLibrary();

} // namespace desktop
