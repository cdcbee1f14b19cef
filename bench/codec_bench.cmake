# Codec benchmark (included by bench/CMakeLists.txt); prints figures.
add_executable(codec_bench ${CMAKE_CURRENT_SOURCE_DIR}/codec_bench.cpp)
target_link_libraries(codec_bench PRIVATE vp_image vp_test_support)
