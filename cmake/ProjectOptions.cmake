# Warnings, sanitizers and the helpers every folder uses.

option(SENTUNE_WERROR "Treat compiler warnings as errors" OFF)
set(SENTUNE_SANITIZE "" CACHE STRING "Sanitizers: empty, 'address' (ASan+UBSan) or 'thread'")

set(SENTUNE_WARNINGS -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Wcast-align
                     -Woverloaded-virtual -Wnull-dereference -Wformat=2)
if(SENTUNE_WERROR)
  list(APPEND SENTUNE_WARNINGS -Werror)
endif()

if(SENTUNE_SANITIZE STREQUAL "address")
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=undefined
                      -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
elseif(SENTUNE_SANITIZE STREQUAL "thread")
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
elseif(NOT SENTUNE_SANITIZE STREQUAL "")
  message(FATAL_ERROR "SENTUNE_SANITIZE must be empty, 'address' or 'thread'")
endif()

# Project warnings for a target of our own (not for generated or third-party code).
function(sentune_warnings target)
  target_compile_options(${target} PRIVATE
    $<$<COMPILE_LANGUAGE:CXX>:${SENTUNE_WARNINGS}>
    $<$<COMPILE_LANGUAGE:C>:-Wall -Wextra -Wpedantic $<$<BOOL:${SENTUNE_WERROR}>:-Werror>>)
endfunction()

# A GoogleTest executable registered with CTest.
#   sentune_test(NAME name SOURCES ... LIBS ... [LABELS ...] [ENV VAR=value ...])
# Label "threaded" puts the test into the ThreadSanitizer run; "qt" marks widget tests.
function(sentune_test)
  cmake_parse_arguments(T "" "NAME;TIMEOUT" "SOURCES;LIBS;LABELS;ENV" ${ARGN})
  add_executable(${T_NAME} ${T_SOURCES})
  sentune_warnings(${T_NAME})
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} GTest::gtest GTest::gmock GTest::gtest_main
                                          Threads::Threads)
  add_test(NAME ${T_NAME} COMMAND ${T_NAME})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  # rk's named objects get a suffix of this test and build tree, set before the
  # library loads, so that parallel runs never share a port table.
  string(MD5 tree_hash "${CMAKE_BINARY_DIR}")
  string(SUBSTRING "${tree_hash}" 0 8 tree_hash)
  set_tests_properties(${T_NAME} PROPERTIES TIMEOUT ${T_TIMEOUT} LABELS "${T_LABELS}"
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;RK_IPC_SUFFIX=.${T_NAME}.${tree_hash};${T_ENV}")
endfunction()
