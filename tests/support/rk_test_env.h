// Test environment of programs that use rk ports.
//
// Every test gets an RK_IPC_SUFFIX of its own, so that parallel runs never
// share a port table or a port mutex; child processes inherit it. CTest sets
// it for each test (cmake/ProjectOptions.cmake), before any library loads;
// linking rk_test_support chooses one for a test (or benchmark) started by
// hand. The process that runs the test removes the named objects of its
// suffix when it exits.
#pragma once

#include <string>

namespace rktest {

// The suffix chosen for this test run.
std::string ipcSuffix();

// Points RK_COM<com> at path (overriding any port map).
void mapComPort(int com, const std::string &path);

}  // namespace rktest
