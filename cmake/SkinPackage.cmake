# Zips a skin folder at build time and links the archive into a program as the
# "ZIPRES" 138 resource (see src/platform/Resource.cpp). An overlay folder,
# when given, replaces files of the skin (tests build variants this way).
#
# The skin's pictures are not kept as binaries: art/skin mirrors the package's
# paths with SVG drawings, which rsvg-convert renders into the build tree
# (skin-art/) before every package is zipped. A drawing "<path>.svg" becomes the
# package file "<path>.png", or "<path>" itself when that already names a file
# type ("scrollbar.bmp.svg" gives "scrollbar.bmp", a PNG under the name the
# markup uses). The launch animation's frames are made from one template.

find_program(VORNIK_RSVG_CONVERT rsvg-convert)
if(NOT VORNIK_RSVG_CONVERT)
  message(FATAL_ERROR "rsvg-convert not found: install the Debian package librsvg2-bin (scripts/setup)")
endif()

set(VORNIK_ART_SOURCE_DIR ${PROJECT_SOURCE_DIR}/art/skin)
set(VORNIK_SKIN_ART_DIR ${PROJECT_BINARY_DIR}/skin-art)
set(VORNIK_SKIN_ART_LIST ${PROJECT_BINARY_DIR}/skin-art.list)
set(VORNIK_SKIN_FRAME_SOURCE_DIR ${PROJECT_BINARY_DIR}/skin-art-frames)

# vornik_skin_picture(<package path> <svg> [<width> <height>]): renders svg
# (absolute, or relative to art/skin) to the package path, at the drawing's own
# size unless a size is given.
function(vornik_skin_picture path svg)
  if(NOT IS_ABSOLUTE ${svg})
    set(svg ${VORNIK_ART_SOURCE_DIR}/${svg})
  endif()
  set(size)
  if(ARGC EQUAL 4)
    set(size -w ${ARGV2} -h ${ARGV3})
  endif()
  set(out ${VORNIK_SKIN_ART_DIR}/${path})
  get_filename_component(dir ${out} DIRECTORY)
  # Rendered beside the target and renamed, so an interrupted build leaves no half picture.
  add_custom_command(
    OUTPUT ${out}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${dir}
    COMMAND ${VORNIK_RSVG_CONVERT} ${size} -f png -o ${out}.part ${svg}
    COMMAND ${CMAKE_COMMAND} -E rename ${out}.part ${out}
    DEPENDS ${svg}
    COMMENT "Drawing skin picture ${path}"
    VERBATIM)
  set_property(GLOBAL APPEND PROPERTY VORNIK_SKIN_PICTURES ${path})
endfunction()

file(GLOB_RECURSE vornik_skin_drawings CONFIGURE_DEPENDS RELATIVE ${VORNIK_ART_SOURCE_DIR}
     ${VORNIK_ART_SOURCE_DIR}/*.svg)
list(SORT vornik_skin_drawings)
foreach(drawing IN LISTS vornik_skin_drawings)
  string(REGEX REPLACE "\\.svg$" "" path ${drawing})
  get_filename_component(name ${path} NAME)
  if(NOT name MATCHES "\\.")
    set(path ${path}.png)
  endif()
  vornik_skin_picture(${path} ${drawing})
endforeach()

# The launch window's product mark is the app mark at its size there.
vornik_skin_picture(skin/logo_running.png skin/logo.svg 80 80)

# Launch animation: 21 frames, bg00 to bg20, frame k turned by k * 360 / 21
# degrees so that the last runs on into the first.
set(vornik_frame_count 21)
math(EXPR vornik_last_frame "${vornik_frame_count} - 1")
foreach(frame RANGE ${vornik_last_frame})
  math(EXPR millidegrees "${frame} * 360000 / ${vornik_frame_count}")
  math(EXPR whole "${millidegrees} / 1000")
  math(EXPR fraction "${millidegrees} % 1000 + 1000")  # leading 1 keeps the zeros
  string(SUBSTRING ${fraction} 1 3 fraction)
  set(SPIN ${whole}.${fraction})
  set(number ${frame})
  if(frame LESS 10)
    set(number 0${frame})
  endif()
  set(frame_svg ${VORNIK_SKIN_FRAME_SOURCE_DIR}/bg${number}.svg)
  configure_file(${VORNIK_ART_SOURCE_DIR}/skin/gif/bg.svg.in ${frame_svg} @ONLY)
  vornik_skin_picture(skin/gif/bg${number}.png ${frame_svg})
endforeach()

get_property(vornik_skin_pictures GLOBAL PROPERTY VORNIK_SKIN_PICTURES)
set(vornik_skin_picture_files)
foreach(path IN LISTS vornik_skin_pictures)
  list(APPEND vornik_skin_picture_files ${VORNIK_SKIN_ART_DIR}/${path})
endforeach()
string(REPLACE ";" "\n" vornik_skin_list_text "${vornik_skin_pictures}")
# Rewritten only when it changes, so configuring alone does not repack the skin.
file(CONFIGURE OUTPUT ${VORNIK_SKIN_ART_LIST} CONTENT "${vornik_skin_list_text}\n")
add_custom_target(vornik_skin_art DEPENDS ${vornik_skin_picture_files})

function(vornik_skin_object target overlay)
  file(GLOB_RECURSE skin_files CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/skin/*)
  set(overlay_files)
  if(overlay)
    file(GLOB_RECURSE overlay_files CONFIGURE_DEPENDS ${overlay}/*)
  endif()
  get_property(pictures GLOBAL PROPERTY VORNIK_SKIN_PICTURES)
  set(picture_files)
  foreach(path IN LISTS pictures)
    list(APPEND picture_files ${VORNIK_SKIN_ART_DIR}/${path})
  endforeach()
  set(zip ${CMAKE_CURRENT_BINARY_DIR}/${target}.zip)
  add_custom_command(
    OUTPUT ${zip}
    COMMAND ${CMAKE_COMMAND} -DSKIN_DIR=${PROJECT_SOURCE_DIR}/skin -DOVERLAY=${overlay}
            -DART_DIR=${VORNIK_SKIN_ART_DIR} -DART_LIST=${VORNIK_SKIN_ART_LIST}
            -DSTAGE=${CMAKE_CURRENT_BINARY_DIR}/${target}.stage -DOUT=${zip}
            -P ${PROJECT_SOURCE_DIR}/cmake/ZipSkin.cmake
    DEPENDS ${skin_files} ${overlay_files} ${picture_files} ${VORNIK_SKIN_ART_LIST}
            ${PROJECT_SOURCE_DIR}/cmake/ZipSkin.cmake
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
  # The pictures are drawn once, by their own target, for every package.
  add_dependencies(${target} vornik_skin_art)
endfunction()

vornik_skin_object(vornik_skin "")
