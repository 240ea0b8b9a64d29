# The build's own checks, run on small trees of their own.
add_test(NAME cmake_layer_check
         COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/layer_check_test.sh ${CMAKE_SOURCE_DIR}/cmake/CheckLayers.cmake)
