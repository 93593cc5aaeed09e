# Makes the program's sources for one variant: a fresh copy of core/, sim/ and console/ with the
# variant's change applied. Run at build time (and by the tests) as
#   cmake -DNAME=lost-wakeup -DPATCH=variants/lost-wakeup.patch -DSOURCE_DIR=<root>
#         -DTREE=<copy> -DPATCH_EXECUTABLE=<patch> [-DDRY_RUN=ON] [-DUNWIDEN=ON]
#         -P variants/apply.cmake
# DRY_RUN only asks whether the change still applies. UNWIDEN also takes out the sleep that
# widens the fault's window for the lecture (the comment that starts "Widened for the lecture"
# down to its sleepMillis line), leaving the fault as narrow as the change alone makes it: the
# build the scheduler runs, which finds the window without help. A change that does not apply fails loudly,
# naming the variant, and leaves no copy behind, so the next build tries again.
cmake_minimum_required(VERSION 3.16)

foreach(input NAME PATCH SOURCE_DIR TREE)
  if(NOT DEFINED ${input})
    message(FATAL_ERROR "apply.cmake: ${input} is not set")
  endif()
endforeach()
if(NOT PATCH_EXECUTABLE)
  message(FATAL_ERROR "variant ${NAME}: the patch program is needed to build the variants "
                      "(apt-get install patch), or configure with -DBARBERSHOP_VARIANTS=OFF")
endif()

# The diff is everything after the header's closing "---" line.
file(READ "${PATCH}" text)
string(FIND "${text}" "\n---\n" separator)
if(separator EQUAL -1)
  message(FATAL_ERROR
    "variant ${NAME}: ${PATCH} has no \"---\" line between its header and its diff")
endif()
math(EXPR start "${separator} + 5")
string(SUBSTRING "${text}" ${start} -1 diff)

file(REMOVE_RECURSE "${TREE}")
file(MAKE_DIRECTORY "${TREE}")
file(COPY "${SOURCE_DIR}/core" "${SOURCE_DIR}/sim" "${SOURCE_DIR}/console" DESTINATION "${TREE}")
file(WRITE "${TREE}.diff" "${diff}")

set(dry)
if(DRY_RUN)
  set(dry --dry-run)
endif()
# No fuzz: a change whose context has moved on must be looked at again, not guessed into place.
execute_process(
  COMMAND "${PATCH_EXECUTABLE}" -p1 --batch --forward --fuzz=0 --no-backup-if-mismatch
          --reject-file=- ${dry} -i "${TREE}.diff"
  WORKING_DIRECTORY "${TREE}"
  RESULT_VARIABLE status
  OUTPUT_VARIABLE said
  ERROR_VARIABLE said)
if(NOT status EQUAL 0)
  file(REMOVE_RECURSE "${TREE}")
  # NOTICE prints the text as it is; FATAL_ERROR would re-wrap what patch said.
  message(NOTICE "patch said:\n${said}")
  message(FATAL_ERROR "variant ${NAME}: its change no longer applies to the program's sources; "
                      "bring variants/${NAME}.patch up to date with core/, sim/ and console/")
endif()

if(UNWIDEN AND NOT DRY_RUN)
  file(GLOB_RECURSE sources "${TREE}/*.cpp")
  set(removed OFF)
  foreach(source ${sources})
    file(READ "${source}" code)
    string(REGEX REPLACE
           "\n[ ]*// Widened for the lecture:[^\n]*(\n[ ]*//[^\n]*)*\n[ ]*sleepMillis\\([0-9]+\\);"
           "" unwidened "${code}")
    if(NOT unwidened STREQUAL code)
      set(removed ON)
      file(WRITE "${source}" "${unwidened}")
    endif()
    string(FIND "${unwidened}" "Widened for the lecture" left)
    if(NOT left EQUAL -1)
      message(FATAL_ERROR "variant ${NAME}: a widening sleep in ${source} is not in the form "
                          "\"// Widened for the lecture: ...\" then sleepMillis(N);")
    endif()
  endforeach()
  # A variant whose lesson says it widens its window must have had a sleep to take out.
  string(SUBSTRING "${text}" 0 ${separator} header)
  if(header MATCHES "widens" AND NOT removed)
    message(FATAL_ERROR "variant ${NAME}: its lesson speaks of a widening sleep, but none was found")
  endif()
endif()

# A copy keeps its source's time stamp, which may be older than the patch: stamp every file
# now, so the build sees the copy as newer than everything it was made from.
if(NOT DRY_RUN)
  file(GLOB_RECURSE copied "${TREE}/*")
  file(TOUCH ${copied})
endif()
