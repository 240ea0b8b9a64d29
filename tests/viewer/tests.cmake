# The real window under a virtual X server, driven with xdotool.
add_test(NAME viewer_window_xvfb
         COMMAND xvfb-run -a -s "-screen 0 1280x800x24" bash ${CMAKE_CURRENT_SOURCE_DIR}/viewer/window_test.sh $<TARGET_FILE:pelu>)
set_tests_properties(viewer_window_xvfb PROPERTIES RESOURCE_LOCK xvfb TIMEOUT 120 ENVIRONMENT "LC_ALL=C.UTF-8")

# Sizes and the strip as they look in the real window.
add_test(NAME viewer_sizes_xvfb
         COMMAND xvfb-run -a -s "-screen 0 1280x800x24" bash ${CMAKE_CURRENT_SOURCE_DIR}/viewer/sizes_window_test.sh $<TARGET_FILE:pelu>)
set_tests_properties(viewer_sizes_xvfb PROPERTIES RESOURCE_LOCK xvfb TIMEOUT 120 ENVIRONMENT "LC_ALL=C.UTF-8")
