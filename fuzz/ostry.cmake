kelvane_add_fuzzer(ostry_reply_fuzz SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/ostry_reply_fuzz.cpp LIBS ostry)
kelvane_add_fuzzer(ostry_rfc2217_fuzz SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/ostry_rfc2217_fuzz.cpp LIBS ostry)
target_include_directories(ostry_rfc2217_fuzz PRIVATE ${PROJECT_SOURCE_DIR}/receiver/src)
