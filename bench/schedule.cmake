# Broadcast schedules: loading a full season's file and the on-air lookup.
if(benchmark_FOUND AND TARGET kelvane_schedule)
  add_executable(schedule_bench ${CMAKE_CURRENT_LIST_DIR}/schedule_lookups.cpp)
  target_link_libraries(schedule_bench PRIVATE kelvane_schedule benchmark::benchmark Qt6::Core)
endif()
