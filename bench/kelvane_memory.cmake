# Memory room: a paced 200-channel push against the line-bound minimum, memory file load/save.
if(benchmark_FOUND AND TARGET kelvane_memory AND TARGET nrd535sim)
  add_executable(kelvane_bench_memory ${CMAKE_CURRENT_LIST_DIR}/kelvane_memory.cpp)
  target_link_libraries(kelvane_bench_memory PRIVATE kelvane_memory kelvane_rig benchmark::benchmark)
endif()
