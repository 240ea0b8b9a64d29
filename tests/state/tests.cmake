# The hostile-file test builds its files with the imaging fixtures, which write TIFF with libtiff.
pkg_check_modules(PELU_STATE_TEST_TIFF REQUIRED IMPORTED_TARGET libtiff-4)
target_link_libraries(state_tst_hostilefiles PRIVATE PkgConfig::PELU_STATE_TEST_TIFF)
