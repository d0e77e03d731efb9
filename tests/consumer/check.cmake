# Installs the built project into a fresh prefix, then, from another working directory and with
# no LD_LIBRARY_PATH or ZAQ_ROOT: checks that the installed libzaq does not need the standalone
# host, runs the installed tool, and configures, builds and runs a consumer project: a program on
# the library and one on the planning library (the 2026 Earth-Mars transfer). The installed
# tool's lunar plan leaves nothing in the directory it runs in; the installed Python package works
# with PYTHONPATH alone.
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
# A fresh, empty directory to run in, and the check that it stayed empty.
function(fresh_dir)
  file(REMOVE_RECURSE ${WORK_DIR}/elsewhere)
  file(MAKE_DIRECTORY ${WORK_DIR}/elsewhere)
endfunction()
function(expect_empty who)
  file(GLOB left RELATIVE ${WORK_DIR}/elsewhere ${WORK_DIR}/elsewhere/*)
  if(left)
    message(FATAL_ERROR "${who} left ${left} in the directory it ran in")
  endif()
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
  fresh_dir()
  run(${prefix}/bin/zaq transfer Earth Moon --depart 2026-11-20 --arrive 2026-11-23 --thrust 1e5
      --isp 448.67 --mass 4e4)
  if(NOT out MATCHES "periselene")
    message(FATAL_ERROR "the installed tool planned no lunar transfer:\n${out}")
  endif()
  expect_empty("the installed tool")
endif()
# The installed Python package, imported with PYTHONPATH alone: a porkchop of the 2026 window
# whose type I minimum is the tool's, a lunar plan flown again, nothing left in the directory.
if(PYTHON AND BUILD_TOOL)
  fresh_dir()
  run(${prefix}/bin/zaq porkchop Earth Mars --depart-range 2026-09-01 2027-01-31 --tof-range 120
      400 --grid 41 --no-plot --json --out ${WORK_DIR}/grid)
  string(JSON toolC3 GET "${out}" minima 0 c3_km2_s2)
  # The script has no semicolons: a list would split it.
  run(${CMAKE_COMMAND} -E env PYTHONPATH=${prefix}/${PYTHON_DIR} ${PYTHON} -c
      "import zaq\ng = zaq.porkchop('Earth', 'Mars', ('2026-09-01', '2027-01-31'), (120, 400))\n\
p = zaq.plan_transfer('Earth', 'Moon', '2026-09-17', '2026-09-20', thrust=1e5, isp=448.67, \
mass=4e4)\nf = p.refly()\nprint(g.minima[0]['c3_km2_s2'], f.periselene_alt_km, \
p.flown['periselene_alt_km'])")
  separate_arguments(values UNIX_COMMAND "${out}")
  list(GET values 0 c3)
  if(NOT c3 MATCHES "^[0-9.]+$")
    message(FATAL_ERROR "the installed Python package printed no porkchop:\n${out}")
  endif()
  execute_process(COMMAND ${PYTHON} -c "import sys; a, b = float(sys.argv[1]), float(sys.argv[2]); sys.exit(abs(a - b) > 0.05)" ${c3} ${toolC3}
                  RESULT_VARIABLE far)
  if(far)
    message(FATAL_ERROR "Python's type I minimum C3 ${c3} is not the tool's ${toolC3}")
  endif()
  expect_empty("the installed Python package")
  message(STATUS "installed Python package: type I minimum C3 ${c3} (tool ${toolC3}); ${out}")
endif()
message(STATUS "installed tool and consumers ran from ${WORK_DIR}/elsewhere against ${prefix}")
