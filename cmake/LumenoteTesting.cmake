# lumenote_add_test(<name> LABEL <label> SOURCES <files...> [LIBS <targets...>]
#                   [MAIN plain|qt|gui] [TIMEOUT <seconds>] [SHARDS <n>])
#
# One GoogleTest executable registered with CTest under the layer's label.
# Every test runs with HOME and the XDG folders in a fresh temporary directory
# (the test main sets them up before anything else runs), so no test touches
# the real home. MAIN qt (the default) creates a QCoreApplication, gui a
# QApplication on the offscreen platform, plain no Qt at all. SHARDS splits a
# long executable's tests into n CTest entries (GoogleTest's own sharding), so
# `ctest -j` can run its slow cases side by side.
function(lumenote_add_test name)
  cmake_parse_arguments(T "" "LABEL;MAIN;TIMEOUT;SHARDS" "SOURCES;LIBS" ${ARGN})
  if(NOT T_LABEL)
    message(FATAL_ERROR "lumenote_add_test(${name}): LABEL is required")
  endif()
  if(NOT T_MAIN)
    set(T_MAIN qt)
  endif()
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE lumenote_testmain_${T_MAIN} ${T_LIBS})
  set(env "QT_QPA_PLATFORM=offscreen;LUMENOTE_SOURCE_DIR=${PROJECT_SOURCE_DIR};LUMENOTE_BINARY_DIR=${PROJECT_BINARY_DIR}")
  if(NOT T_SHARDS OR T_SHARDS LESS 2)
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES LABELS "${T_LABEL}" TIMEOUT ${T_TIMEOUT} ENVIRONMENT "${env}")
    return()
  endif()
  math(EXPR last "${T_SHARDS} - 1")
  foreach(i RANGE ${last})
    math(EXPR n "${i} + 1")
    set(test ${name}_${n}of${T_SHARDS})
    add_test(NAME ${test} COMMAND ${name})
    set_tests_properties(${test} PROPERTIES LABELS "${T_LABEL}" TIMEOUT ${T_TIMEOUT}
      ENVIRONMENT "${env};GTEST_TOTAL_SHARDS=${T_SHARDS};GTEST_SHARD_INDEX=${i}")
  endforeach()
endfunction()
