# The imaging tests write minimal DNG and CMYK files with libtiff and libjpeg.
pkg_check_modules(PELU_TEST_TIFF REQUIRED IMPORTED_TARGET libtiff-4)
pkg_check_modules(PELU_TEST_JPEG REQUIRED IMPORTED_TARGET libjpeg)
file(GLOB _imaging_tests ${CMAKE_CURRENT_LIST_DIR}/tst_*.cpp)
foreach(_test_src ${_imaging_tests})
  get_filename_component(_test_name ${_test_src} NAME_WE)
  target_link_libraries(imaging_${_test_name} PRIVATE PkgConfig::PELU_TEST_TIFF PkgConfig::PELU_TEST_JPEG)
endforeach()
