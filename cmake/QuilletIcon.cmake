# The program's icon, from one drawing: data/icons/quillet.svg is rendered into PNGs at the sizes
# icon themes and trays ask for, compiled into the program as its built-in icon, and installed
# into the hicolor theme together with the drawing itself as the scalable size. The installed
# files carry the desktop identity's name, which is the name the program asks the theme for.
set(QUILLET_ICON_SIZES 16 22 24 32 48 64 128 256)
find_program(RSVG_CONVERT rsvg-convert REQUIRED)

# quillet_add_icon(<target>): the PNGs as resources of <target> under :/quillet/icons/<size>.png.
function(quillet_add_icon target)
  set(drawing ${PROJECT_SOURCE_DIR}/data/icons/quillet.svg)
  set(folder ${CMAKE_CURRENT_BINARY_DIR}/icons)
  set(pngs)
  foreach(size IN LISTS QUILLET_ICON_SIZES)
    set(png ${folder}/${size}.png)
    add_custom_command(OUTPUT ${png}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${folder}
      COMMAND ${RSVG_CONVERT} --width=${size} --height=${size} --output=${png} ${drawing}
      DEPENDS ${drawing}
      COMMENT "Rendering the ${size}x${size} icon"
      VERBATIM)
    list(APPEND pngs ${png})
    install(FILES ${png}
      DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
      RENAME ${QUILLET_APP_ID}.png)
  endforeach()
  install(FILES ${drawing}
    DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps
    RENAME ${QUILLET_APP_ID}.svg)
  qt_add_resources(${target} quillet_icon PREFIX /quillet/icons BASE ${folder} FILES ${pngs})
endfunction()
