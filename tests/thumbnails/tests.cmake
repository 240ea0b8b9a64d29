# The strip in the real window under a virtual X server, driven with xdotool.
add_test(NAME thumbnails_strip_window_xvfb
         COMMAND xvfb-run -a -s "-screen 0 1280x800x24" bash ${CMAKE_CURRENT_SOURCE_DIR}/thumbnails/strip_window_test.sh $<TARGET_FILE:pelu>)
set_tests_properties(thumbnails_strip_window_xvfb PROPERTIES RESOURCE_LOCK xvfb TIMEOUT 120 ENVIRONMENT "LC_ALL=C.UTF-8")
