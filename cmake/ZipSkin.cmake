# Called with -DSKIN_DIR -DOVERLAY -DART_DIR -DART_LIST -DSTAGE -DOUT. Paths
# inside the archive are relative to the skin folder. The stage is the skin
# folder, then the drawn pictures (ART_LIST names them, one package path a
# line, inside ART_DIR), then the overlay, each replacing files of the one before.
file(REMOVE_RECURSE ${STAGE})
file(COPY ${SKIN_DIR}/ DESTINATION ${STAGE})
if(ART_LIST)
  file(STRINGS ${ART_LIST} pictures)
  foreach(picture IN LISTS pictures)
    if(NOT EXISTS ${ART_DIR}/${picture})
      message(FATAL_ERROR "the skin picture ${picture} has not been drawn (${ART_DIR})")
    endif()
    get_filename_component(folder ${STAGE}/${picture} DIRECTORY)
    file(COPY ${ART_DIR}/${picture} DESTINATION ${folder})
  endforeach()
endif()
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
