# The quit of the real viewer needs an X server: the plain run skips it, this one runs it.
set_tests_properties(app_tst_quit PROPERTIES
  ENVIRONMENT "QT_QPA_PLATFORM=offscreen;LC_ALL=C.UTF-8;DISPLAY=")
add_test(NAME app_tst_quit_xvfb
         COMMAND xvfb-run -a -s "-screen 0 1280x800x24" $<TARGET_FILE:app_tst_quit>)
set_tests_properties(app_tst_quit_xvfb PROPERTIES TIMEOUT 120 ENVIRONMENT "LC_ALL=C.UTF-8")
