# The scratch pad and list readers on big files: next, previous and go-to steps at any position,
# appends, and the memory a full pass costs.
if(benchmark_FOUND AND TARGET kelvane_lists)
  add_executable(kelvane_bench_lists ${CMAKE_CURRENT_LIST_DIR}/kelvane_lists_readers.cpp)
  target_link_libraries(kelvane_bench_lists PRIVATE kelvane_lists benchmark::benchmark)
endif()
