# Disk faults on a real, small filesystem.
add_test(NAME state_rotation_tiny_filesystem
         COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/tiny_filesystem.sh $<TARGET_FILE:state_tst_rotation>)
set_tests_properties(state_rotation_tiny_filesystem PROPERTIES
  SKIP_RETURN_CODE 77 TIMEOUT 120 ENVIRONMENT "QT_QPA_PLATFORM=offscreen;LC_ALL=C.UTF-8")
