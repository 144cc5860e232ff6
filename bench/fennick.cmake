# Freqs lookups: Look on random frequencies, FreqNxt over every list.
if(benchmark_FOUND AND TARGET fennick)
  add_executable(bench_fennick ${CMAKE_CURRENT_LIST_DIR}/fennick_lookups.cpp)
  target_link_libraries(bench_fennick PRIVATE fennick benchmark::benchmark)
  set_target_properties(bench_fennick PROPERTIES AUTOMOC OFF)
endif()
