# The key commands' parsers of outside input: clipboard text and typed entry.
kelvane_add_fuzzer(kelvane_keys_fuzz SOURCES ${CMAKE_CURRENT_LIST_DIR}/kelvane_keys_fuzz.cpp
  LIBS kelvanecore)
