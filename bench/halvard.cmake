# Meter library: spectrum cost per block, and CPU cost of a running capture.
find_package(PkgConfig REQUIRED)
pkg_check_modules(HALVARD_BENCH_ALSA REQUIRED IMPORTED_TARGET alsa)
if(TARGET benchmark::benchmark)
  add_executable(halvard_bench_fft ${CMAKE_CURRENT_LIST_DIR}/halvard_fft.cpp)
  target_link_libraries(halvard_bench_fft PRIVATE halvard benchmark::benchmark)
endif()
add_executable(halvard_bench_capture ${CMAKE_CURRENT_LIST_DIR}/halvard_capture.cpp)
target_link_libraries(halvard_bench_capture PRIVATE halvard Qt6::Widgets PkgConfig::HALVARD_BENCH_ALSA)
