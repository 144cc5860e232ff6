# Database link: from an "S" message sent by kelvane-db to the "F" command on the receiver's
# pseudo-terminal. Needs a session bus: run it under dbus-run-session.
if(benchmark_FOUND AND TARGET kelvane_link AND TARGET kelvane-db)
  add_executable(link_bench_latency ${CMAKE_CURRENT_LIST_DIR}/link_latency.cpp
    ${PROJECT_SOURCE_DIR}/app/src/link/tests/link_rig.cpp)
  target_include_directories(link_bench_latency PRIVATE ${PROJECT_SOURCE_DIR}/app/src/link/tests)
  target_link_libraries(link_bench_latency PRIVATE kelvane_link kelvane_rig Qt6::Test
    benchmark::benchmark)
  target_compile_definitions(link_bench_latency PRIVATE
    KELVANE_DB_BINARY="$<TARGET_FILE:kelvane-db>")
  add_dependencies(link_bench_latency kelvane-db)
endif()
