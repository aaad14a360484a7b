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
set(CPACK_DEBIAN_LIBRARY_PACKAGE_GENERATE_SHLIBS ON)
# Each package has its own summary, the first line of its description; the common summary would
# be put in front of each.
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "")
set(CPACK_DEBIAN_LIBRARY_DESCRIPTION "kestrune3: a plain C interface around the SQLite 3 engine
Open and close databases, run SQL into a table of texts or row by row through a callback,
with a progress callback that can interrupt, row counts, versions and UTF-16 variants.")
set(CPACK_DEBIAN_PROGRAM_PACKAGE_NAME kestrune-demo)
set(CPACK_DEBIAN_PROGRAM_DESCRIPTION "Kestrune Tolvane Demo: a desktop SQL tool over the kestrune3 library
Name an SQLite database file, type SQL or load a script, and run it; the rows show in a list
and can be copied or written to a CSV file. A demonstration database can be created and queried.")
set(CPACK_DEBIAN_DEV_PACKAGE_NAME kestrune-dev)
set(CPACK_DEBIAN_DEV_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_DEV_DESCRIPTION "kestrune3: header, pkg-config file and CMake package
What building a C or C++ program against the kestrune3 library needs.")
include(CPack)
