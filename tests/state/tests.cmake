# Disk faults on a real, small filesystem.
add_test(NAME state_rotation_tiny_filesystem
         COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/tiny_filesystem.sh $<TARGET_FILE:state_tst_rotation>)
set_tests_properties(state_rotation_tiny_filesystem PROPERTIES
  SKIP_RETURN_CODE 77 TIMEOUT 120 ENVIRONMENT "QT_QPA_PLATFORM=offscreen;LC_ALL=C.UTF-8")

# The hostile-file test builds its files with the imaging fixtures, which write TIFF with libtiff.
pkg_check_modules(PELU_STATE_TEST_TIFF REQUIRED IMPORTED_TARGET libtiff-4)
target_link_libraries(state_tst_hostilefiles PRIVATE PkgConfig::PELU_STATE_TEST_TIFF)

# Moving to the Trash on volumes of their own.
add_test(NAME state_trash_volumes
         COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/trash_volumes.sh $<TARGET_FILE:state_tst_trash>)
set_tests_properties(state_trash_volumes PROPERTIES
  SKIP_RETURN_CODE 77 TIMEOUT 120 ENVIRONMENT "QT_QPA_PLATFORM=offscreen;LC_ALL=C.UTF-8")

# GIO's own frames are found only by the slow unwinder, which the suppression of its leak needs.
if(PELU_SANITIZE)
  set_property(TEST state_tst_trash state_trash_volumes APPEND PROPERTY ENVIRONMENT
    "ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:fast_unwind_on_malloc=0")
endif()
