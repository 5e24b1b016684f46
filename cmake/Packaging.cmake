# Debian packages made by CPack from the install rules (scripts/package,
# docs/packaging.md):
#   sentune    the program, its desktop entry, icons and manual page
#   librk1     librk.so.1 (a library package is named after its SONAME)
#   librk-dev  rk.h, librk.so, rk.pc, the CMake package rk, rk(3), the C example
#   qvzsim     the simulated sensor, the simulated E-140 module, qvzsim(1)
set(SENTUNE_MAINTAINER "sentune developers <sentune@example.org>"
    CACHE STRING "Maintainer field of the Debian packages")
add_subdirectory(packaging)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME sentune)
set(CPACK_PACKAGE_VENDOR "sentune")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "${SENTUNE_MAINTAINER}")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL sentune librk librk-dev qvzsim)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Run-time dependencies from the libraries the binaries need (dpkg-shlibdeps),
# and those between our own packages from the component dependencies.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
get_target_property(rk_build_dir rk BINARY_DIR)  # where sentune's librk.so.1 is found
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${rk_build_dir})
set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)
# librk1 says which package provides librk.so.1 (shlibs) and runs ldconfig.
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")

set(CPACK_DEBIAN_SENTUNE_PACKAGE_NAME sentune)
set(CPACK_DEBIAN_SENTUNE_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_SENTUNE_PACKAGE_SUGGESTS qvzsim)
set(CPACK_COMPONENT_SENTUNE_DEPENDS librk)
set(CPACK_COMPONENT_SENTUNE_DESCRIPTION
    "bench service tool for QVZ vibration sensors
sentune finds a QVZ vibration sensor (a Modbus RTU slave) on the serial
ports, shows its live readings and exchange statistics, changes its
settings, calibrates it, and moves coefficient tables and firmware images.
Its user interface is in Russian.")

set(CPACK_DEBIAN_LIBRK_PACKAGE_NAME librk1)
set(CPACK_DEBIAN_LIBRK_PACKAGE_SECTION libs)
set(CPACK_COMPONENT_LIBRK_DESCRIPTION
    "Modbus RTU link library
librk opens serial ports COM1-COM16 shared among processes and threads,
runs Modbus RTU transactions with retries and statistics, transfers files
over private function codes, and gives Russian texts for its result codes.")

set(CPACK_DEBIAN_LIBRK-DEV_PACKAGE_NAME librk-dev)
set(CPACK_DEBIAN_LIBRK-DEV_PACKAGE_SECTION libdevel)
set(CPACK_COMPONENT_LIBRK-DEV_DEPENDS librk)
set(CPACK_COMPONENT_LIBRK-DEV_DESCRIPTION
    "Modbus RTU link library - development files
The C header rk.h, the pkg-config file rk.pc, the CMake package rk with the
imported target rk::rk, the manual page rk(3) and a C example.")

set(CPACK_DEBIAN_QVZSIM_PACKAGE_NAME qvzsim)
set(CPACK_DEBIAN_QVZSIM_PACKAGE_SECTION electronics)
set(CPACK_COMPONENT_QVZSIM_DESCRIPTION
    "simulated QVZ vibration sensors on a pseudo-terminal
qvzsim serves the register map, coils, identification and file requests of
QVZ sensors on a pseudo-terminal, measures a bench that you set and injects
faults on request. The package also holds a simulated E-140 USB ADC module
that sentune loads when SENTUNE_LUSBAPI names it.")

include(CPack)
