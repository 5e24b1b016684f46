# The CMake package of the rk link library: find_package(rk 1) gives the
# imported target rk::rk (librk.so.1 and rk.h).
include("${CMAKE_CURRENT_LIST_DIR}/rkTargets.cmake")
