# The scan room's parsers of outside input: lockout lines and files, hit-log lines and files.
kelvane_add_fuzzer(kelvane_scan_fuzz SOURCES ${CMAKE_CURRENT_LIST_DIR}/kelvane_scan_fuzz.cpp
  LIBS kelvane_scan)
