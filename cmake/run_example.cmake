# Copies the example folder to WORKDIR, runs PROGRAM there and prints the
# channel list it wrote. Standard input is empty, so the closing prompt does
# not wait for a key.
file(REMOVE_RECURSE "${WORKDIR}")
file(COPY "${EXAMPLES}/" DESTINATION "${WORKDIR}")
if(CMAKE_HOST_WIN32)
  set(no_input NUL)
else()
  set(no_input /dev/null)
endif()
execute_process(COMMAND "${CMAKE_COMMAND}" -E echo "== ${PROGRAM}, run in ${WORKDIR}:")
execute_process(COMMAND "${PROGRAM}" WORKING_DIRECTORY "${WORKDIR}" INPUT_FILE "${no_input}"
                RESULT_VARIABLE status)
execute_process(COMMAND "${CMAKE_COMMAND}" -E echo "== exit status ${status}; the channel list ${WORKDIR}/iptv.lst holds:")
execute_process(COMMAND "${CMAKE_COMMAND}" -E cat "${WORKDIR}/iptv.lst")
