# Capture benchmark (included by bench/CMakeLists.txt, Windows tree only);
# prints figures. It links the capture tests' helpers and the program's
# resources.
add_executable(capture_bench ${CMAKE_CURRENT_SOURCE_DIR}/capture_bench.cpp
               ${CMAKE_SOURCE_DIR}/tests/capture/capture_test_util.cpp ${CMAKE_SOURCE_DIR}/tests/capture/capture_tests.rc)
target_include_directories(capture_bench PRIVATE ${CMAKE_SOURCE_DIR}/capture ${CMAKE_BINARY_DIR}/capture/icons)
add_dependencies(capture_bench vp_icons)
target_link_libraries(capture_bench PRIVATE vp_capture vp_test_support)
