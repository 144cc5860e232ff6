# Scan room: the fast range scan against the simulator at 4800 baud (steps per second against
# the line's least time, stalls, signals found and false stops) and the occupancy picture's
# repaint.
if(benchmark_FOUND AND TARGET kelvane_scan AND TARGET nrd535sim)
  add_executable(scan_bench ${CMAKE_CURRENT_SOURCE_DIR}/scan_fast.cpp)
  target_link_libraries(scan_bench PRIVATE kelvane_scan kelvane_rig benchmark::benchmark)
  add_executable(scan_picture_bench ${CMAKE_CURRENT_SOURCE_DIR}/scan_picture.cpp)
  target_link_libraries(scan_picture_bench PRIVATE kelvane_scan_ui benchmark::benchmark)
endif()
