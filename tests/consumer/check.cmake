# Installs the built project into a fresh prefix, then, from another working directory and with
# no LD_LIBRARY_PATH or ZAQ_ROOT: checks that the installed libzaq does not need the standalone
# host, runs the installed tool, and configures, builds and runs a consumer project: a program on
# the library and one on the planning library (the 2026 Earth-Mars transfer). The installed
# tool's lunar plan leaves nothing in the directory it runs in.
file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${WORK_DIR}/elsewhere)
set(prefix ${WORK_DIR}/prefix)
function(run)
  execute_process(COMMAND ${CMAKE_COMMAND} -E env --unset=LD_LIBRARY_PATH --unset=ZAQ_ROOT ${ARGN}
                  WORKING_DIRECTORY ${WORK_DIR}/elsewhere
                  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "failed (${rc}): ${ARGN}\n${out}")
  endif()
  set(out "${out}" PARENT_SCOPE)
endfunction()
run(${CMAKE_COMMAND} --install ${BINARY_DIR} --prefix ${prefix})

file(GLOB libzaq ${prefix}/lib*/libzaq.so)
if(NOT libzaq)
  message(FATAL_ERROR "no libzaq.so installed under ${prefix}")
endif()
run(readelf -d ${libzaq})
if(out MATCHES "zaq_hostsim")
  message(FATAL_ERROR "the installed libzaq depends on the standalone host:\n${out}")
endif()

# The installed tool finds the installed data, the build-tree tool the source tree's data.
if(BUILD_TOOL)
  foreach(tool ${prefix}/bin/zaq ${BUILD_TOOL})
    run(${tool} ephem Moon --date 2026-12-08)
    if(NOT out MATCHES "Moon relative to Earth")
      message(FATAL_ERROR "${tool} printed no ephemeris:\n${out}")
    endif()
  endforeach()
endif()

set(flags)
if(SANITIZE)  # a sanitized library needs a sanitized program
  set(flags -DCMAKE_CXX_FLAGS=-fsanitize=address,undefined)
endif()
run(${CMAKE_COMMAND} -S ${SOURCE_DIR}/tests/consumer -B ${WORK_DIR}/build
    -DCMAKE_PREFIX_PATH=${prefix} ${flags})
run(${CMAKE_COMMAND} --build ${WORK_DIR}/build)
run(${WORK_DIR}/build/consumer)
run(${WORK_DIR}/build/planner)
message(STATUS "${out}")
if(BUILD_TOOL)
  file(REMOVE_RECURSE ${WORK_DIR}/elsewhere)
  file(MAKE_DIRECTORY ${WORK_DIR}/elsewhere)
  run(${prefix}/bin/zaq transfer Earth Moon --depart 2026-11-20 --arrive 2026-11-23 --thrust 1e5
      --isp 448.67 --mass 4e4)
  if(NOT out MATCHES "periselene")
    message(FATAL_ERROR "the installed tool planned no lunar transfer:\n${out}")
  endif()
  file(GLOB left RELATIVE ${WORK_DIR}/elsewhere ${WORK_DIR}/elsewhere/*)
  if(left)
    message(FATAL_ERROR "the installed tool left ${left} in the directory it ran in")
  endif()
endif()
message(STATUS "installed tool and consumers ran from ${WORK_DIR}/elsewhere against ${prefix}")
