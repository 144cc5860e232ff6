# Broadcast schedules: loading a full season's file and the on-air lookup; and a tune through
# the real window with and without a schedule (the panel's lookup).
if(benchmark_FOUND AND TARGET kelvane_schedule)
  add_executable(schedule_bench ${CMAKE_CURRENT_LIST_DIR}/schedule_lookups.cpp)
  target_link_libraries(schedule_bench PRIVATE kelvane_schedule benchmark::benchmark Qt6::Core)
endif()
if(benchmark_FOUND AND TARGET kelvanetestsupport)
  add_executable(schedule_bench_panel ${CMAKE_CURRENT_LIST_DIR}/schedule_panel.cpp)
  target_link_libraries(schedule_bench_panel PRIVATE kelvanetestsupport benchmark::benchmark)
endif()
