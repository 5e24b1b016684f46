// Test environment of programs that use rk ports.
//
// Linking tests/support (target rk_test_support) gives the test executable
// an RK_IPC_SUFFIX of its own, so that parallel runs never share a port table
// or a port mutex with each other or with any other rk program; child
// processes inherit it. It is set before a statically linked rk_core starts;
// a program linked against librk.so, which opens its table when it is
// loaded, is started again with the suffix in its environment. The named
// objects of that suffix are removed when the process that chose it exits.
#pragma once

#include <string>

namespace rktest {

// The suffix chosen for this test run.
std::string ipcSuffix();

// Points RK_COM<com> at path (overriding any port map).
void mapComPort(int com, const std::string &path);

}  // namespace rktest
