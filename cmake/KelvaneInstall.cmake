# Installation in the standard places, desktop integration (entry, icons, AppStream metadata),
# manual pages, CMake package configs for the libraries, and the Debian package (cpack -G DEB).
# The version everywhere is the one given to project().
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

# The program's shipped data (import profiles), found relative to the executable once
# installed and in the source tree when run from the build folder.
file(RELATIVE_PATH _bin_to_data ${CMAKE_INSTALL_FULL_BINDIR} ${CMAKE_INSTALL_FULL_DATADIR}/kelvane)
target_compile_definitions(kelvane_core PUBLIC
  KELVANE_DATA_FROM_BINDIR="${_bin_to_data}"
  KELVANE_SOURCE_DATADIR="${PROJECT_SOURCE_DIR}/app/data")

# Fuzz builds install nothing.
if(KELVANE_FUZZ)
  return()
endif()

set(KELVANE_APP_ID org.kelvane.Kelvane)
set(KELVANE_HOMEPAGE "https://kelvane.org" CACHE STRING "Home page named in the package metadata")
set(KELVANE_MAINTAINER "Kelvane developers <maintainers@kelvane.org>"
  CACHE STRING "Maintainer named in the Debian package")
# The date of the release project() names; the metadata lists it.
set(KELVANE_RELEASE_DATE 2026-12-10)

set(_dist ${PROJECT_SOURCE_DIR}/dist)
set(_dist_out ${PROJECT_BINARY_DIR}/dist)

# Installed programs find the libraries next to them, wherever the tree is unpacked (a DESTDIR,
# /usr/local, /opt/...); the build tree keeps its own paths.
file(RELATIVE_PATH _bin_to_lib ${CMAKE_INSTALL_FULL_BINDIR} ${CMAKE_INSTALL_FULL_LIBDIR})

set(_programs kelvane nrd535-sim)
if(TARGET kelvane-db)
  list(APPEND _programs kelvane-db)
endif()
if(TARGET kelvane-sked)
  list(APPEND _programs kelvane-sked)
endif()
set_target_properties(${_programs} PROPERTIES INSTALL_RPATH "$ORIGIN/${_bin_to_lib}")
install(TARGETS ${_programs} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

if(EXISTS ${PROJECT_SOURCE_DIR}/app/data)
  install(DIRECTORY ${PROJECT_SOURCE_DIR}/app/data/ DESTINATION ${CMAKE_INSTALL_DATADIR}/kelvane)
endif()

# ---- libraries, headers and package configs ---------------------------------------------------
# find_package(Ostry) gives Ostry::ostry (the receiver driver), find_package(Fennick)
# Fennick::fennick (the frequency database), find_package(Halvard) Halvard::halvard (the meter).
if(PROJECT_VERSION_MAJOR EQUAL 0)
  # Before 1.0 every minor release may change the interface.
  set(_soversion ${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR})
  set(_compat SameMinorVersion)
else()
  set(_soversion ${PROJECT_VERSION_MAJOR})
  set(_compat SameMajorVersion)
endif()

set(_deps_ostry "find_dependency(Qt6 6.4 COMPONENTS Core)")
set(_deps_fennick "")
set(_deps_halvard "find_dependency(Qt6 6.4 COMPONENTS Core Gui Widgets)")

foreach(lib IN ITEMS ostry fennick halvard)
  string(SUBSTRING ${lib} 0 1 _first)
  string(SUBSTRING ${lib} 1 -1 _rest)
  string(TOUPPER ${_first} _first)
  set(pkg ${_first}${_rest})
  set(_cmakedir ${CMAKE_INSTALL_LIBDIR}/cmake/${pkg})

  set_target_properties(${lib} PROPERTIES VERSION ${PROJECT_VERSION} SOVERSION ${_soversion})
  install(TARGETS ${lib} EXPORT ${pkg}Targets
    LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
    INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
  get_target_property(_src ${lib} SOURCE_DIR)
  get_target_property(_bin ${lib} BINARY_DIR)
  install(DIRECTORY ${_src}/include/${lib} DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}
    FILES_MATCHING PATTERN "*.h")
  install(FILES ${_bin}/include/${lib}/${lib}_export.h
    DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/${lib})
  install(EXPORT ${pkg}Targets NAMESPACE ${pkg}:: DESTINATION ${_cmakedir})

  set(KELVANE_PKG ${pkg})
  set(KELVANE_PKG_DEPENDENCIES "${_deps_${lib}}")
  configure_package_config_file(${_dist}/cmake/PackageConfig.cmake.in
    ${_dist_out}/cmake/${pkg}Config.cmake
    INSTALL_DESTINATION ${_cmakedir})
  write_basic_package_version_file(${_dist_out}/cmake/${pkg}ConfigVersion.cmake
    VERSION ${PROJECT_VERSION} COMPATIBILITY ${_compat})
  install(FILES ${_dist_out}/cmake/${pkg}Config.cmake ${_dist_out}/cmake/${pkg}ConfigVersion.cmake
    DESTINATION ${_cmakedir})
endforeach()

# ---- desktop entry, icons, AppStream metadata ---------------------------------------------------
install(FILES ${_dist}/${KELVANE_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${_dist}/icons/${KELVANE_APP_ID}.svg
  DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
configure_file(${_dist}/${KELVANE_APP_ID}.metainfo.xml.in
  ${_dist_out}/${KELVANE_APP_ID}.metainfo.xml @ONLY)
install(FILES ${_dist_out}/${KELVANE_APP_ID}.metainfo.xml
  DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

# Bitmap icons for menus and panels that do not draw SVG, rendered from the one drawing.
find_program(KELVANE_RSVG_CONVERT rsvg-convert)
if(KELVANE_RSVG_CONVERT)
  set(_pngs)
  foreach(size IN ITEMS 16 22 24 32 48 64 128 256)
    set(_png ${_dist_out}/icons/${size}x${size}/${KELVANE_APP_ID}.png)
    add_custom_command(OUTPUT ${_png}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${_dist_out}/icons/${size}x${size}
      COMMAND ${KELVANE_RSVG_CONVERT} -w ${size} -h ${size} -o ${_png}
              ${_dist}/icons/${KELVANE_APP_ID}.svg
      DEPENDS ${_dist}/icons/${KELVANE_APP_ID}.svg
      VERBATIM)
    list(APPEND _pngs ${_png})
    install(FILES ${_png} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
  endforeach()
  add_custom_target(kelvane_icons ALL DEPENDS ${_pngs})
else()
  message(STATUS "rsvg-convert not found: only the SVG icon is installed (scripts/deps installs it)")
endif()

# ---- manual pages -------------------------------------------------------------------------------
# Generated from each program's --help with the sections of dist/man/<program>.h2m.
find_program(KELVANE_HELP2MAN help2man)
find_program(KELVANE_GZIP gzip)
set(_manpages)
if(KELVANE_HELP2MAN AND KELVANE_GZIP)
  foreach(prog IN LISTS _programs)
    set(_page ${_dist_out}/man/${prog}.1)
    set(_include ${_dist}/man/${prog}.h2m)
    set(_include_arg)
    set(_include_dep)
    if(EXISTS ${_include})
      set(_include_arg -DINCLUDE=${_include})
      set(_include_dep ${_include})
    endif()
    add_custom_command(OUTPUT ${_page} ${_page}.gz
      COMMAND ${CMAKE_COMMAND} -DHELP2MAN=${KELVANE_HELP2MAN} -DGZIP=${KELVANE_GZIP}
              -DPROGRAM=$<TARGET_FILE:${prog}> -DVERSION=${PROJECT_VERSION} -DOUTPUT=${_page}
              ${_include_arg} -P ${_dist}/man/help2man.cmake
      DEPENDS ${prog} ${_dist}/man/help2man.cmake ${_include_dep}
      VERBATIM)
    list(APPEND _manpages ${_page})
    install(FILES ${_page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  endforeach()
  add_custom_target(kelvane_manpages ALL DEPENDS ${_manpages})
else()
  message(STATUS "help2man or gzip not found: no manual pages (scripts/deps installs help2man)")
endif()

# ---- Debian package -----------------------------------------------------------------------------
set(CPACK_PACKAGE_NAME kelvane)
set(CPACK_PACKAGE_VENDOR "Dunmore Software")
set(CPACK_PACKAGE_CONTACT "${KELVANE_MAINTAINER}")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "remote control for the JRC NRD-535 HF receiver")
set(CPACK_PACKAGE_DESCRIPTION
  "Kelvane tunes and sets a JRC NRD-535 or NRD-535D communications receiver over a serial
line from the keyboard, the mouse wheel and a row of buttons, and shows what the receiver
reports. It adds a band plan with lists of known stations, scans and searches, memories,
a scratch pad, frequency-list import and an audio spectrum meter.
.
The package also holds nrd535-sim, a simulated receiver on a pseudo-terminal, and the
receiver driver, frequency database and meter libraries with their headers and CMake
package configs.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR DEB)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION hamradio)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${KELVANE_HOMEPAGE}")
# Dependencies come from the libraries the binaries link; our own libraries are inside.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS
  ${PROJECT_BINARY_DIR}/receiver ${PROJECT_BINARY_DIR}/freqdb ${PROJECT_BINARY_DIR}/meter)
# The window needs a Qt platform plugin (X11 or Wayland).
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-qpa-plugins | qt6-wayland")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)

# ---- checks -------------------------------------------------------------------------------------
# Sanitizer builds are for finding memory faults in the code, not for shipping.
if(KELVANE_TESTS AND NOT KELVANE_SANITIZE)
  set(_check ${_dist}/tests/packaging.sh)
  string(REPLACE ";" "," _program_list "${_programs}")
  set(_args ${PROJECT_BINARY_DIR} ${PROJECT_SOURCE_DIR} ${CMAKE_INSTALL_PREFIX}
    ${CMAKE_INSTALL_LIBDIR} ${PROJECT_VERSION} ${_program_list})
  foreach(check IN ITEMS layout consumer desktop manpages deb)
    add_test(NAME install_${check} COMMAND bash ${_check} ${check} ${_args})
    set_tests_properties(install_${check} PROPERTIES TIMEOUT 600 SKIP_RETURN_CODE 77)
  endforeach()
  # cpack installs the build tree itself; keep it apart from the other installs.
  set_tests_properties(install_deb PROPERTIES RUN_SERIAL ON)
endif()
