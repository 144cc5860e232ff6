# kelvane_add_test(NAME SOURCES file... LIBS lib... [ENV VAR=value...] [TIMEOUT s])
# A QtTest executable registered with ctest. Widget tests run on the offscreen platform.
function(kelvane_add_test name)
  cmake_parse_arguments(T "" "TIMEOUT" "SOURCES;LIBS;ENV" ${ARGN})
  if(NOT KELVANE_TESTS)
    return()
  endif()
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE Qt6::Test ${T_LIBS})
  add_test(NAME ${name} COMMAND ${name})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 120)
  endif()
  set_tests_properties(${name} PROPERTIES
    TIMEOUT ${T_TIMEOUT}
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;LSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/.ci/lsan.supp:print_suppressions=0;UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1;${T_ENV}")
endfunction()

# kelvane_library(NAME [SHARED|STATIC]) helpers: export header + include dirs.
function(kelvane_export_header target basename)
  generate_export_header(${target}
    BASE_NAME ${basename}
    EXPORT_FILE_NAME ${CMAKE_CURRENT_BINARY_DIR}/include/${target}/${target}_export.h)
  target_include_directories(${target} PUBLIC
    $<BUILD_INTERFACE:${CMAKE_CURRENT_SOURCE_DIR}/include>
    $<BUILD_INTERFACE:${CMAKE_CURRENT_BINARY_DIR}/include>)
endfunction()
