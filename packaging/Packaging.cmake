# The program as a desktop installs it (a menu entry and its icon), and Debian packages of the
# whole: `cpack -G DEB` in the build folder writes kestrune3 (the library), kestrune-demo (the
# program) and kestrune-dev (header, pkg-config file, CMake package).

if(KEST_BUILD_PROGRAM)
  # The entry starts the program by its full path, so it works from any prefix, on PATH or not;
  # the prefix is known only when installing (`--prefix`, or /usr for a package).
  install(CODE "
    set(KEST_PROGRAM \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/kestrune-demo\")
    configure_file(\"${CMAKE_CURRENT_LIST_DIR}/kestrune-demo.desktop.in\"
                   \"${PROJECT_BINARY_DIR}/packaging/kestrune-demo.desktop\" @ONLY)"
    COMPONENT program)
  install(FILES ${PROJECT_BINARY_DIR}/packaging/kestrune-demo.desktop
          DESTINATION ${CMAKE_INSTALL_DATADIR}/applications COMPONENT program)
  install(FILES ${CMAKE_CURRENT_LIST_DIR}/kestrune-demo.svg
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps COMPONENT program)
  # What software centres list (appstreamcli validate passes it).
  install(FILES ${CMAKE_CURRENT_LIST_DIR}/invalid.example.kestrune.demo.metainfo.xml
          DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo COMPONENT program)
endif()

# Debian's own checks (lintian) want in each package its copyright file, a changelog and, for the
# program, a manual page, all but the copyright compressed with gzip -9n. What lintian still
# reports and we mean is overridden, each with its reason, in packaging/lintian/<package>.
function(kest_gzip source output)
  add_custom_command(OUTPUT ${output} COMMAND gzip -9nc ${source} > ${output} DEPENDS ${source} VERBATIM)
  get_filename_component(name ${output} NAME)
  add_custom_target(kest_gzip_${name} ALL DEPENDS ${output})
endfunction()
set(kest_packaging_out ${PROJECT_BINARY_DIR}/packaging)
kest_gzip(${CMAKE_CURRENT_LIST_DIR}/changelog ${kest_packaging_out}/changelog.gz)
foreach(component library program dev)
  set(package_of_library kestrune3)
  set(package_of_program kestrune-demo)
  set(package_of_dev kestrune-dev)
  if(component STREQUAL program AND NOT KEST_BUILD_PROGRAM)
    continue()
  endif()
  set(package ${package_of_${component}})
  install(FILES ${CMAKE_CURRENT_LIST_DIR}/copyright ${kest_packaging_out}/changelog.gz
          DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${package} COMPONENT ${component})
  if(EXISTS ${CMAKE_CURRENT_LIST_DIR}/lintian/${package})
    install(FILES ${CMAKE_CURRENT_LIST_DIR}/lintian/${package}
            DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides COMPONENT ${component})
  endif()
endforeach()
if(KEST_BUILD_PROGRAM)
  kest_gzip(${CMAKE_CURRENT_LIST_DIR}/kestrune-demo.1 ${kest_packaging_out}/kestrune-demo.1.gz)
  install(FILES ${kest_packaging_out}/kestrune-demo.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT program)
endif()

set(CPACK_PACKAGE_NAME kestrune)
set(CPACK_PACKAGE_VENDOR "Kestrune")
set(CPACK_PACKAGE_CONTACT "Kestrune developers <kestrune@example.invalid>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_COMPONENTS_ALL library dev)
if(KEST_BUILD_PROGRAM)
  list(APPEND CPACK_COMPONENTS_ALL program)
endif()
set(CPACK_COMPONENT_DEV_DEPENDS library)
set(CPACK_COMPONENT_PROGRAM_DEPENDS library)

set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION database)
# Dependencies from the shared libraries each package links; the program's library, loaded
# by name at run time, comes from the component dependencies above.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)
set(CPACK_DEBIAN_LIBRARY_PACKAGE_NAME kestrune3)
set(CPACK_DEBIAN_LIBRARY_PACKAGE_SECTION libs)
# The shlibs file lets other packages' dependencies on the library be worked out; the ldconfig
# trigger refreshes the loader's cache (lintian: lacks-ldconfig-trigger).
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")
set(CPACK_DEBIAN_LIBRARY_PACKAGE_CONTROL_EXTRA ${CMAKE_CURRENT_LIST_DIR}/debian/triggers)
# Control files take Debian's modes (0644, maintainer scripts 0755), not those of the tree the
# package is built from: a checkout or archive unpacked with umask 002 has files of 0664.
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_STRIP_FILES ON)
# Each package has its own summary, the first line of its description; the common summary would
# be put in front of each.
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "")
set(CPACK_DEBIAN_LIBRARY_DESCRIPTION "plain C interface around the SQLite 3 engine
The kestrune3 library opens and closes databases, runs SQL into a table of
texts or row by row through a callback, with a progress callback that can
interrupt, row counts, versions and UTF-16 variants.")
set(CPACK_DEBIAN_PROGRAM_PACKAGE_NAME kestrune-demo)
set(CPACK_DEBIAN_PROGRAM_DESCRIPTION "desktop SQL tool over the kestrune3 library
Kestrune Tolvane Demo: name an SQLite database file, type SQL or load a
script, and run it; the rows show in a list and can be copied or written
to a CSV file. A demonstration database can be created and queried.")
set(CPACK_DEBIAN_DEV_PACKAGE_NAME kestrune-dev)
set(CPACK_DEBIAN_DEV_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_DEV_DESCRIPTION "header, pkg-config file and CMake package of kestrune3
What building a C or C++ program against the kestrune3 library needs.")
include(CPack)
