# Image benchmark (included by bench/CMakeLists.txt); prints figures.
add_executable(image_bench ${CMAKE_CURRENT_SOURCE_DIR}/image_bench.cpp)
target_link_libraries(image_bench PRIVATE vp_image vp_test_support)
