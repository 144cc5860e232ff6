# The program's parsers of outside input: the settings hive.
kelvane_add_fuzzer(kelvane_reg_fuzz SOURCES ${CMAKE_CURRENT_LIST_DIR}/kelvane_reg_fuzz.cpp
  LIBS kelvane_base)
