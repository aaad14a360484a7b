# The window's title-bar and task-bar icon, and the menu's at fixed sizes: PNGs drawn from
# kestrune-demo.svg and kept beside it in icons/, so that a build needs no SVG tool and the
# program no SVG image plugin at run time. They are built into the program as Qt resources under
# :/icons/ and installed into the hicolor theme. After a change of the SVG, draw them again
# (Debian: librsvg2-bin), from the repository's folder:
#   for s in 16 24 32 48 64 128 256; do
#     rsvg-convert -w $s -h $s -o packaging/icons/kestrune-demo-$s.png packaging/kestrune-demo.svg; done

function(kest_add_icons target)
  set(pngs)
  foreach(size 16 24 32 48 64 128 256)
    set(png ${PROJECT_SOURCE_DIR}/packaging/icons/kestrune-demo-${size}.png)
    list(APPEND pngs ${png})
    install(FILES ${png} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
            RENAME kestrune-demo.png COMPONENT program)
  endforeach()
  qt_add_resources(${target} kest_icons PREFIX /icons BASE ${PROJECT_SOURCE_DIR}/packaging/icons FILES ${pngs})
endfunction()
