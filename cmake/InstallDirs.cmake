# Installation directories (GNUInstallDirs). On Debian the libraries go into
# the multiarch directory under any prefix (/usr/local/lib/<triplet> is on the
# loader's and pkg-config's paths too), so that an installed tree and the
# packages have one layout. Chosen once per build tree; a value given later
# with -DCMAKE_INSTALL_LIBDIR stays.
if(EXISTS /etc/debian_version AND CMAKE_LIBRARY_ARCHITECTURE AND NOT SENTUNE_LIBDIR_CHOSEN)
  if(NOT DEFINED CMAKE_INSTALL_LIBDIR OR CMAKE_INSTALL_LIBDIR STREQUAL "lib")
    set(CMAKE_INSTALL_LIBDIR lib/${CMAKE_LIBRARY_ARCHITECTURE}
        CACHE PATH "Object code libraries (lib)" FORCE)
  endif()
  set(SENTUNE_LIBDIR_CHOSEN ON CACHE INTERNAL "CMAKE_INSTALL_LIBDIR chosen for Debian")
endif()
include(GNUInstallDirs)
