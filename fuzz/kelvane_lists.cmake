# The lists room's parsers of outside input: pad lines, list lines under a profile, profile lines.
foreach(target kelvane_lists_pad_fuzz kelvane_lists_line_fuzz kelvane_lists_profile_fuzz)
  kelvane_add_fuzzer(${target} SOURCES ${CMAKE_CURRENT_LIST_DIR}/${target}.cpp
    LIBS kelvane_lists)
endforeach()
