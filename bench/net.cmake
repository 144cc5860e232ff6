# Rig-control server and network transport: "f" answered from state beside hamlib's rigctld with
# its NRD-535 backend, setter to wire through ser2net, CPU with ten polling clients.
if(benchmark_FOUND AND TARGET kelvane_net AND TARGET nrd535sim)
  add_executable(net_bench ${CMAKE_CURRENT_LIST_DIR}/net_rigctl.cpp)
  target_link_libraries(net_bench PRIVATE kelvane_net kelvane_rig benchmark::benchmark Qt6::Core
    Qt6::Network)
endif()
