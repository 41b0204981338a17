# The Debian package, built by `cpack -G DEB` in the build folder. Included from the top-level
# CMakeLists.txt, as CPack reads these settings there.
# A Windows build makes the release archive instead: `cpack -G ZIP` in its build folder.
if(WIN32)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_NAME flintor-calc)
  set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
  set(CPACK_PACKAGE_VENDOR "The Flintor developers")
  set(CPACK_SYSTEM_NAME windows-x86_64)
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
  set(CPACK_STRIP_FILES ON)
  include(CPack)
  return()
endif()
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME flintor)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The Flintor developers")
set(CPACK_PACKAGE_CONTACT "The Flintor developers <developers@flintor.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "flash partition values (mtd0 to mtd5) for Class II routers")
# Debian wants the extended description's lines under 80 characters.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Flintor inspects the firmware image of a router whose boot loader is Adam2\n\
or PSP, computes the start and end addresses of its flash partitions mtd0 to\n\
mtd5 and prints them for entering into the boot loader; it also draws the\n\
flash layout. flintor-calc computes the same values on the command line.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://flintor.org/")
# The libraries come from the programs' own links; the window also needs Qt's platform plugins,
# which Qt loads at run time, and its designed look wants the Liberation fonts.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-liberation")
set(CPACK_SOURCE_IGNORE_FILES "/build[^/]*/" "/\\\\.git/")
include(CPack)
