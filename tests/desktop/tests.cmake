# colord as the tests need it, on a bus of their own (support/FakeColord.cpp).
add_executable(pelu-test-colord ${CMAKE_CURRENT_SOURCE_DIR}/support/FakeColord.cpp)
target_link_libraries(pelu-test-colord PRIVATE Qt6::Core Qt6::Gui Qt6::DBus)
target_compile_definitions(desktop_tst_screenprofile PRIVATE
  FAKE_COLORD="$<TARGET_FILE:pelu-test-colord>")
add_dependencies(desktop_tst_screenprofile pelu-test-colord)

# The screen's profile from the X server's root window needs an X server: the plain run skips
# those cases, this one runs them.
add_test(NAME desktop_tst_screenprofile_xvfb
         COMMAND xvfb-run -a -s "-screen 0 1280x800x24" $<TARGET_FILE:desktop_tst_screenprofile>)
set_tests_properties(desktop_tst_screenprofile_xvfb PROPERTIES RESOURCE_LOCK xvfb TIMEOUT 120
                     ENVIRONMENT "LC_ALL=C.UTF-8;QT_QPA_PLATFORM=xcb")
set_tests_properties(desktop_tst_screenprofile PROPERTIES
  ENVIRONMENT "QT_QPA_PLATFORM=offscreen;LC_ALL=C.UTF-8;DISPLAY=")
