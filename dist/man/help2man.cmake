# cmake -DHELP2MAN=... -DGZIP=... -DPROGRAM=path -DVERSION=x.y.z -DOUTPUT=page.1 [-DINCLUDE=file]
#   -P help2man.cmake
# Writes the manual page of PROGRAM from its --help (and INCLUDE), and OUTPUT.gz beside it.
get_filename_component(dir ${PROGRAM} DIRECTORY)
get_filename_component(name ${PROGRAM} NAME)

# The program is run by name so the synopsis shows its name, not the build path. The help texts
# name the settings file under the home folder; show it as ~ rather than the builder's home.
set(ENV{PATH} "${dir}:$ENV{PATH}")
set(ENV{HOME} "~")
unset(ENV{XDG_CONFIG_HOME})
set(ENV{QT_QPA_PLATFORM} offscreen)
set(ENV{ASAN_OPTIONS} detect_leaks=0)
set(ENV{LC_ALL} C.UTF-8)

set(args --no-info --section=1 --version-string=${VERSION} --output=${OUTPUT})
if(INCLUDE)
  list(APPEND args --include=${INCLUDE})
endif()
execute_process(COMMAND ${HELP2MAN} ${args} ${name} RESULT_VARIABLE rc ERROR_VARIABLE err)
if(NOT rc EQUAL 0 OR err)
  file(REMOVE ${OUTPUT})
  message(FATAL_ERROR "help2man ${name}: ${rc} ${err}")
endif()
execute_process(COMMAND ${GZIP} -9nf -k ${OUTPUT} RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "gzip ${OUTPUT}: ${rc}")
endif()
