# The web page's request parser (input from any page or program that reaches the server).
kelvane_add_fuzzer(web_message_fuzz SOURCES ${CMAKE_CURRENT_LIST_DIR}/web_message_fuzz.cpp
  LIBS kelvane_web)
