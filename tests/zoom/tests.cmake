# The image view once more on a screen of two device pixels per point.
add_test(NAME zoom_tst_zoomviews_dpr2
         COMMAND zoom_tst_zoomviews drawsSharplyAtDevicePixelRatioTwo)
set_tests_properties(zoom_tst_zoomviews_dpr2 PROPERTIES
  ENVIRONMENT "QT_QPA_PLATFORM=offscreen;LC_ALL=C.UTF-8;QT_SCALE_FACTOR=2" TIMEOUT 600)
