# Zips a skin folder at build time and links the archive into a program as the
# "ZIPRES" 138 resource (see src/platform/Resource.cpp). An overlay folder,
# when given, replaces files of the skin (tests build variants this way).
function(vornik_skin_object target overlay)
  file(GLOB_RECURSE skin_files CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/skin/*)
  set(overlay_files)
  if(overlay)
    file(GLOB_RECURSE overlay_files CONFIGURE_DEPENDS ${overlay}/*)
  endif()
  set(zip ${CMAKE_CURRENT_BINARY_DIR}/${target}.zip)
  add_custom_command(
    OUTPUT ${zip}
    COMMAND ${CMAKE_COMMAND} -DSKIN_DIR=${PROJECT_SOURCE_DIR}/skin -DOVERLAY=${overlay}
            -DSTAGE=${CMAKE_CURRENT_BINARY_DIR}/${target}.stage -DOUT=${zip}
            -P ${PROJECT_SOURCE_DIR}/cmake/ZipSkin.cmake
    DEPENDS ${skin_files} ${overlay_files} ${PROJECT_SOURCE_DIR}/cmake/ZipSkin.cmake
    COMMENT "Packing the skin for ${target}")
  set(asm ${CMAKE_CURRENT_BINARY_DIR}/${target}.S)
  file(GENERATE OUTPUT ${asm} CONTENT
"    .section .rodata
    .global vornik_skin_zip_begin
    .global vornik_skin_zip_end
    .balign 16
vornik_skin_zip_begin:
    .incbin \"${zip}\"
vornik_skin_zip_end:
    .section .note.GNU-stack,\"\",@progbits
")
  set_source_files_properties(${asm} PROPERTIES OBJECT_DEPENDS ${zip} GENERATED TRUE)
  add_library(${target} OBJECT ${asm})
endfunction()

vornik_skin_object(vornik_skin "")
