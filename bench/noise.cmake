# Noise room: a whole survey and a search against the simulator at 4800 baud, with the longest
# stall of the event loop while they run.
if(benchmark_FOUND AND TARGET kelvane_noise AND TARGET nrd535sim)
  add_executable(noise_bench ${CMAKE_CURRENT_SOURCE_DIR}/noise_survey.cpp)
  target_link_libraries(noise_bench PRIVATE kelvane_noise kelvane_rig benchmark::benchmark)
endif()
