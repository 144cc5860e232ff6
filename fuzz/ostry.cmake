kelvane_add_fuzzer(ostry_reply_fuzz SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/ostry_reply_fuzz.cpp LIBS ostry)
