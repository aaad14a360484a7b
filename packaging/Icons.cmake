# The window's title-bar and task-bar icon, and the menu's at fixed sizes: PNGs drawn from
# kestrune-demo.svg when building, so the program needs no SVG image plugin at run time. They are
# built into the program as Qt resources under :/icons/ and installed into the hicolor theme.
find_program(KEST_RSVG_CONVERT rsvg-convert REQUIRED) # Debian: librsvg2-bin

function(kest_add_icons target)
  set(pngs)
  foreach(size 16 24 32 48 64 128 256)
    set(png ${PROJECT_BINARY_DIR}/icons/kestrune-demo-${size}.png)
    add_custom_command(OUTPUT ${png}
      COMMAND ${KEST_RSVG_CONVERT} -w ${size} -h ${size} -o ${png} ${PROJECT_SOURCE_DIR}/packaging/kestrune-demo.svg
      DEPENDS ${PROJECT_SOURCE_DIR}/packaging/kestrune-demo.svg VERBATIM)
    list(APPEND pngs ${png})
    install(FILES ${png} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
            RENAME kestrune-demo.png COMPONENT program)
  endforeach()
  qt_add_resources(${target} kest_icons PREFIX /icons BASE ${PROJECT_BINARY_DIR}/icons FILES ${pngs})
endfunction()
