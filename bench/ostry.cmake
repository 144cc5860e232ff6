# Receiver driver: reply parsing rate and setter-to-wire latency.
if(benchmark_FOUND AND TARGET ostry AND TARGET nrd535sim)
  add_executable(ostry_bench
    ${CMAKE_CURRENT_SOURCE_DIR}/ostry_parse.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/ostry_latency.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/ostry_main.cpp)
  target_link_libraries(ostry_bench PRIVATE ostry nrd535sim benchmark::benchmark Qt6::Core)
endif()
