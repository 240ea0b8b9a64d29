# The quit of the real viewer needs an X server: the plain run skips it, this one runs it.
set_tests_properties(app_tst_quit PROPERTIES
  ENVIRONMENT "QT_QPA_PLATFORM=offscreen;LC_ALL=C.UTF-8;DISPLAY=")
add_test(NAME app_tst_quit_xvfb
         COMMAND xvfb-run -a -s "-screen 0 1280x800x24" $<TARGET_FILE:app_tst_quit>)
# Tests with an X server of their own hold the lock "xvfb": two `xvfb-run -a` started
# together can pick the same display, and the first to end takes the other's server with it.
set_tests_properties(app_tst_quit_xvfb PROPERTIES RESOURCE_LOCK xvfb TIMEOUT 120 ENVIRONMENT "LC_ALL=C.UTF-8")

# Every tr() text has its Spanish translation.
add_test(NAME app_translations_complete
         COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/app/translations_test.sh ${CMAKE_SOURCE_DIR})
set_tests_properties(app_translations_complete PROPERTIES TIMEOUT 120)

# The installed tree: binary, desktop entry, icons, metainfo.
add_test(NAME app_install
         COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/app/install_test.sh ${CMAKE_BINARY_DIR})
set_tests_properties(app_install PROPERTIES TIMEOUT 120)

# The real program under a virtual X server, driven by its shortcuts.
add_test(NAME app_end_to_end_xvfb
         COMMAND xvfb-run -a -s "-screen 0 1280x800x24"
                 bash ${CMAKE_CURRENT_SOURCE_DIR}/app/end_to_end_test.sh $<TARGET_FILE:pelu>)
set_tests_properties(app_end_to_end_xvfb PROPERTIES RESOURCE_LOCK xvfb TIMEOUT 180 ENVIRONMENT "LC_ALL=C.UTF-8")

# The Debian package of this build: contents, Depends and Recommends.
add_test(NAME app_package
         COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/app/package_test.sh ${CMAKE_BINARY_DIR})
set_tests_properties(app_package PROPERTIES TIMEOUT 300)

# Bringing the window forward on X11, against a stand-in for the window manager.
add_test(NAME app_tst_activation_xvfb
         COMMAND xvfb-run -a -s "-screen 0 1280x800x24" $<TARGET_FILE:app_tst_activation>)
set_tests_properties(app_tst_activation_xvfb PROPERTIES RESOURCE_LOCK xvfb TIMEOUT 120
                     ENVIRONMENT "LC_ALL=C.UTF-8;QT_QPA_PLATFORM=xcb")

# The real program as a Wayland client of a nested weston on an X server of its own; skipped
# (77) only where weston cannot start.
add_test(NAME app_wayland_weston
         COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/app/wayland_test.sh $<TARGET_FILE:pelu>
                 $<TARGET_FILE:pelu-test-colord>)
set_tests_properties(app_wayland_weston PROPERTIES RESOURCE_LOCK xvfb TIMEOUT 240
                     SKIP_RETURN_CODE 77 ENVIRONMENT "LC_ALL=C.UTF-8")

# Starts on an X server where it is the only client.
add_test(NAME app_lone_client_start_xvfb
         COMMAND xvfb-run -a -s "-screen 0 1024x600x24"
                 bash ${CMAKE_CURRENT_SOURCE_DIR}/app/lone_client_start_test.sh $<TARGET_FILE:pelu>)
set_tests_properties(app_lone_client_start_xvfb PROPERTIES RESOURCE_LOCK xvfb TIMEOUT 120
                     ENVIRONMENT "LC_ALL=C.UTF-8")

# Copy Image with another program pasting, and the auto-sized window, on a small screen.
add_test(NAME app_file_actions_xvfb
         COMMAND xvfb-run -a -s "-screen 0 1024x600x24"
                 bash ${CMAKE_CURRENT_SOURCE_DIR}/app/file_actions_window_test.sh $<TARGET_FILE:pelu>)
set_tests_properties(app_file_actions_xvfb PROPERTIES RESOURCE_LOCK xvfb TIMEOUT 180 ENVIRONMENT "LC_ALL=C.UTF-8")
# HDR pictures and display profiles in the real window: needs an X server, skipped otherwise.
add_test(NAME app_tst_screenwindow_xvfb
         COMMAND xvfb-run -a -s "-screen 0 1280x800x24" $<TARGET_FILE:app_tst_screenwindow>)
set_tests_properties(app_tst_screenwindow_xvfb PROPERTIES RESOURCE_LOCK xvfb TIMEOUT 300
                     ENVIRONMENT "LC_ALL=C.UTF-8;QT_QPA_PLATFORM=xcb")
set_tests_properties(app_tst_screenwindow PROPERTIES
  ENVIRONMENT "QT_QPA_PLATFORM=offscreen;LC_ALL=C.UTF-8;DISPLAY=")
