# Runs one of the administrator's tools in a scratch folder and checks what it did.
#   cmake [-DEMULATOR=<runner>] -DPROGRAM=<tool> -DWORK=<scratch folder>
#         [-DSERVER_FROM=<folder>] [-DSERVER=<name>] [-DREMOVE=<path>|<path>...]
#         -DEXPECT_STATUS=<n> [-DEXPECT_STDOUT=<file>] [-DEXPECT_STDERR=<regex>]
#         [-DEXPECT_FILES=<glob>=<regex>|...] [-DEXPECT_ABSENT=<glob>|...]
#         -P run_tool.cmake -- <arguments of the tool>
# SERVER_FROM is copied to WORK/SERVER (paths in REMOVE, relative to it, are then deleted);
# the tool runs in WORK, so it can be given the server folder as SERVER. Standard output is
# compared byte for byte with EXPECT_STDOUT; the files named by EXPECT_FILES (globs
# relative to WORK/SERVER) must exist and match their regex; those of EXPECT_ABSENT must not.
cmake_minimum_required(VERSION 3.25)

set(arguments "")
set(after_marker FALSE)
foreach(index RANGE 1 ${CMAKE_ARGC})
  if(index EQUAL CMAKE_ARGC)
    break()
  endif()
  if(after_marker)
    list(APPEND arguments "${CMAKE_ARGV${index}}")
  elseif(CMAKE_ARGV${index} STREQUAL "--")
    set(after_marker TRUE)
  endif()
endforeach()

file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})
if(SERVER_FROM)
  file(COPY ${SERVER_FROM}/ DESTINATION ${WORK}/${SERVER})
  string(REPLACE "|" ";" removed "${REMOVE}")
  foreach(path IN LISTS removed)
    file(REMOVE_RECURSE ${WORK}/${SERVER}/${path})
  endforeach()
endif()

execute_process(COMMAND ${EMULATOR} ${PROGRAM} ${arguments}
                WORKING_DIRECTORY ${WORK}
                RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE errors)
set(failures "")
if(NOT status STREQUAL EXPECT_STATUS)
  list(APPEND failures "exit status ${status}, expected ${EXPECT_STATUS}")
endif()
if(EXPECT_STDOUT)
  file(READ ${EXPECT_STDOUT} expected)
  if(NOT output STREQUAL expected)
    file(WRITE ${WORK}/stdout.txt "${output}")
    execute_process(COMMAND diff -u ${EXPECT_STDOUT} ${WORK}/stdout.txt OUTPUT_VARIABLE difference)
    list(APPEND failures "standard output differs from ${EXPECT_STDOUT}:\n${difference}")
  endif()
endif()
if(DEFINED EXPECT_STDERR)
  if(NOT errors MATCHES "${EXPECT_STDERR}")
    list(APPEND failures "standard error does not match \"${EXPECT_STDERR}\":\n${errors}")
  endif()
elseif(errors)
  list(APPEND failures "unexpected standard error:\n${errors}")
endif()

string(REPLACE "|" ";" expected_files "${EXPECT_FILES}")
foreach(expectation IN LISTS expected_files)
  string(FIND "${expectation}" "=" equals)
  string(SUBSTRING "${expectation}" 0 ${equals} pattern)
  math(EXPR equals "${equals} + 1")
  string(SUBSTRING "${expectation}" ${equals} -1 content_regex)
  file(GLOB found ${WORK}/${SERVER}/${pattern})
  list(LENGTH found how_many)
  if(NOT how_many EQUAL 1)
    list(APPEND failures "${how_many} files match ${pattern}, expected one")
    continue()
  endif()
  file(READ ${found} content)
  if(NOT content MATCHES "${content_regex}")
    list(APPEND failures "${pattern} holds \"${content}\", not matching \"${content_regex}\"")
  endif()
endforeach()
string(REPLACE "|" ";" absent "${EXPECT_ABSENT}")
foreach(pattern IN LISTS absent)
  file(GLOB found ${WORK}/${SERVER}/${pattern})
  if(found)
    list(APPEND failures "${pattern} is there: ${found}")
  endif()
endforeach()

if(failures)
  list(JOIN failures "\n" text)
  message(FATAL_ERROR "${PROGRAM} ${arguments}:\n${text}\n--- standard output ---\n${output}")
endif()
