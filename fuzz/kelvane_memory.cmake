# The memory room's parsers of outside input: memory-file lines and the settings row texts.
kelvane_add_fuzzer(kelvane_memory_line_fuzz
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/kelvane_memory_line_fuzz.cpp LIBS kelvane_memory)
kelvane_add_fuzzer(kelvane_memory_rows_fuzz
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/kelvane_memory_rows_fuzz.cpp LIBS kelvane_memory)
