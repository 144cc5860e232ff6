# The rig-control server's request reader and parser (input from any client on the network).
kelvane_add_fuzzer(net_rigctl_fuzz SOURCES ${CMAKE_CURRENT_LIST_DIR}/net_rigctl_fuzz.cpp
  LIBS kelvane_net)
