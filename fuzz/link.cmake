# The database link: texts received from the database over the session bus.
kelvane_add_fuzzer(link_message_fuzz SOURCES ${CMAKE_CURRENT_LIST_DIR}/link_message_fuzz.cpp
  LIBS kelvane_link)
