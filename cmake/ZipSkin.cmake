# Called with -DSKIN_DIR -DOVERLAY -DSTAGE -DOUT. Paths inside the archive are
# relative to the skin folder.
file(REMOVE_RECURSE ${STAGE})
file(COPY ${SKIN_DIR}/ DESTINATION ${STAGE})
if(OVERLAY)
  file(COPY ${OVERLAY}/ DESTINATION ${STAGE})
endif()
file(GLOB_RECURSE files LIST_DIRECTORIES false RELATIVE ${STAGE} ${STAGE}/*)
list(SORT files)
file(REMOVE ${OUT}.tmp)
execute_process(
  COMMAND ${CMAKE_COMMAND} -E tar cf ${OUT}.tmp --format=zip -- ${files}
  WORKING_DIRECTORY ${STAGE}
  RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "could not pack the skin: ${rc}")
endif()
file(RENAME ${OUT}.tmp ${OUT})
