// Test environment of programs that use rk ports.
//
// Linking tests/support (target rk_test_support) gives the test executable
// an RK_IPC_SUFFIX of its own, set before the link library is first used
// when rk_core is linked statically, so that parallel runs never share a port
// table or a port mutex; child processes inherit it. The named objects of
// that suffix are removed when the process that chose it exits.
// A test that loads librk.so dynamically sets RK_IPC_SUFFIX in its
// environment instead (the shared library initialises before this code).
#pragma once

#include <string>

namespace rktest {

// The suffix chosen for this test run.
std::string ipcSuffix();

// Points RK_COM<com> at path (overriding any port map).
void mapComPort(int com, const std::string &path);

}  // namespace rktest
