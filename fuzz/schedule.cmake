# The broadcast schedule reader (a season file the operator downloads).
kelvane_add_fuzzer(schedule_fuzz SOURCES ${CMAKE_CURRENT_LIST_DIR}/schedule_fuzz.cpp
  LIBS kelvane_schedule)
