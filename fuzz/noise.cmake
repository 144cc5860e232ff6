# The noise room's parser of outside input: a noise-file line, and a whole noise file.
kelvane_add_fuzzer(kelvane_noise_fuzz SOURCES ${CMAKE_CURRENT_LIST_DIR}/kelvane_noise_fuzz.cpp
  LIBS kelvane_noise)
