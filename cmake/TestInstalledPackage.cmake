# Installs the build tree BUILD_DIR into a fresh prefix under WORK_DIR, then
# configures, builds and runs the consumer project CONSUMER_DIR against it.
# COMPILER and FLAGS (the sanitizer flags of the build, if any) are passed on.
# With PYTHON (the interpreter) and PYTHON_DIR (the package's folder relative
# to the prefix), the installed Python module is imported from the prefix
# and computes an interval; PRELOAD names the sanitizers' runtimes (':'
# between them) that an interpreter built without them must load first.
cmake_minimum_required(VERSION 3.25)
file(REMOVE_RECURSE "${WORK_DIR}")
set(prefix "${WORK_DIR}/prefix")

function(step what)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE output)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "${what} failed (${status}):\n${output}")
  endif()
  message(STATUS "${what}: done")
endfunction()

step("install" ${CMAKE_COMMAND} --install "${BUILD_DIR}" --prefix "${prefix}")
if(NOT EXISTS "${prefix}/lib/cmake/unionbound/unionboundConfig.cmake"
   AND NOT EXISTS "${prefix}/lib64/cmake/unionbound/unionboundConfig.cmake")
  message(FATAL_ERROR "the install holds no unionboundConfig.cmake")
endif()
step("configure the consumer" ${CMAKE_COMMAND} -S "${CONSUMER_DIR}" -B "${WORK_DIR}/build"
     -G Ninja "-DCMAKE_PREFIX_PATH=${prefix}" "-DCMAKE_CXX_COMPILER=${COMPILER}"
     "-DCMAKE_CXX_FLAGS=${FLAGS}" "-DCMAKE_EXE_LINKER_FLAGS=${FLAGS}")
step("build the consumer" ${CMAKE_COMMAND} --build "${WORK_DIR}/build")
step("run the consumer" "${WORK_DIR}/build/consumer")
if(PYTHON)
  set(check [=[
import sys, unionbound
assert unionbound.__file__.startswith(sys.argv[1]), unionbound.__file__
result = unionbound.bounds([0.125] * 6 + [0.0] * 35, 6, 3, methods="exact")
assert result.lower <= 0.75 <= result.upper, result.interval
print(result.interval)
]=])
  set(environment "PYTHONPATH=${prefix}/${PYTHON_DIR}")
  if(PRELOAD)
    list(APPEND environment "LD_PRELOAD=${PRELOAD}" ASAN_OPTIONS=detect_leaks=0)
  endif()
  step("import the installed Python module" ${CMAKE_COMMAND} -E env ${environment}
       ${PYTHON} -c "${check}" "${prefix}")
endif()
