# Install rules and the Debian package.
#
#   PREFIX/bin            gridora-cli, gridora (when Qt 6 was found), sheetgen
#   PREFIX/lib            libringweld.so, libunlha32.so (loaded by name at run time)
#   PREFIX/lib/pkgconfig  ringweld.pc
#   PREFIX/include        ringweld.h
#   PREFIX/share/gridora  city.csv, symbols.sym, ms4wmap10.lzh, README.md (the window's help page)
#   PREFIX/share/man/man1 gridora-cli.1
#
# The programs find libringweld.so through their run path $ORIGIN/../lib, and their support
# files and archive library through platform/program_files (own folder first, then the
# installed folders). The folder names are fixed rather than taken from GNUInstallDirs, so
# that the relative paths the programs rely on hold for every prefix.
set(GRIDORA_INSTALL_BIN bin)
set(GRIDORA_INSTALL_LIB lib)
set(GRIDORA_INSTALL_INCLUDE include)
set(GRIDORA_INSTALL_SHARE share/gridora)
set(GRIDORA_INSTALL_MAN share/man/man1)

set(gridora_programs gridora-cli sheetgen)
if(TARGET gridora)
  list(APPEND gridora_programs gridora)
endif()
set_target_properties(${gridora_programs} PROPERTIES INSTALL_RPATH "$ORIGIN/../${GRIDORA_INSTALL_LIB}")

install(TARGETS ${gridora_programs} RUNTIME DESTINATION ${GRIDORA_INSTALL_BIN})
install(TARGETS ringweld unlha32 LIBRARY DESTINATION ${GRIDORA_INSTALL_LIB})
install(FILES ${CMAKE_SOURCE_DIR}/engine/ringweld.h DESTINATION ${GRIDORA_INSTALL_INCLUDE})
install(FILES ${CMAKE_SOURCE_DIR}/data/city.csv ${CMAKE_SOURCE_DIR}/data/symbols.sym
              ${CMAKE_SOURCE_DIR}/data/ms4wmap10.lzh ${CMAKE_SOURCE_DIR}/README.md
        DESTINATION ${GRIDORA_INSTALL_SHARE})
install(FILES ${GRIDORA_CLI_MAN_PAGE} DESTINATION ${GRIDORA_INSTALL_MAN})

# ringweld.pc names the prefix the files are installed under, which is only known when
# installing (cmake --install --prefix, or the package's /usr): it is written then, straight
# into the installed tree, so that installs into several staging folders never share it.
set(pc_prefix "@pc_prefix@")  # kept for the install-time pass
configure_file(${CMAKE_CURRENT_LIST_DIR}/ringweld.pc.in ${CMAKE_BINARY_DIR}/ringweld.pc.in @ONLY)
install(CODE "
  set(pc_prefix \"\${CMAKE_INSTALL_PREFIX}\")
  set(pc_file \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${GRIDORA_INSTALL_LIB}/pkgconfig/ringweld.pc\")
  message(STATUS \"Installing: \${pc_file}\")
  configure_file(\"${CMAKE_BINARY_DIR}/ringweld.pc.in\" \"\${pc_file}\" @ONLY)
  list(APPEND CMAKE_INSTALL_MANIFEST_FILES \"\${pc_file}\")
")

# The Debian package gridora_<version>_amd64.deb. dpkg-shlibdeps finds the libraries the
# programs and libunlha32.so link (shapelib, lhasa, PROJ, GDAL, Qt 6, fontconfig, ...); the
# fonts the map file and window look for are recommended.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME gridora)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "gridora")
set(CPACK_PACKAGE_CONTACT "gridora maintainers <gridora@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "converter of Japan's 1:2,500 base map sheets into Shapefiles and MapServer map files")
set(CPACK_PACKAGE_DESCRIPTION
    "gridora converts the Shift-JIS text sheets of the 1:2,500 base map (Spatial Data Framework) into ESRI
Shapefiles with dBASE tables (or one GeoPackage), rebuilds the polygons cut by sheet edges and writes a MapServer map file.
It holds the console converter gridora-cli, the Japanese window gridora, the sheet generator sheetgen,
the polygon-assembly library ringweld (with its header and pkg-config file) and the LHA archive library.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${CMAKE_BINARY_DIR}/bin)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fontconfig")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-ipafont-gothic | fonts-noto-cjk, libjs-leaflet")
# What serves the published output: mapserv, and PHP MapScript for the PHP pages.
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "cgi-mapserver, apache2, libapache2-mod-php, php-mapscript-ng")
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS OFF)
set(CPACK_STRIP_FILES ON)  # the build keeps its debugging information, the package not
include(CPack)
