# Key commands and scans: key event to wire latency, and the pacing of a running band scan.
# Built on the program's test fixture (simulator on a pty, temporary hive, real window).
if(benchmark_FOUND AND TARGET kelvanetestsupport)
  add_executable(kelvane_bench_keys ${CMAKE_CURRENT_LIST_DIR}/kelvane_keys.cpp)
  target_link_libraries(kelvane_bench_keys PRIVATE kelvanetestsupport benchmark::benchmark)
endif()
