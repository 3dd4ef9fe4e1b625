// Machine state that test programs share: they run at once in one Wine
// prefix, so HKLM, the spooler stand-in and fixed names are everybody's.
// A test source declares, at file scope, each shared state it reads or
// changes:
//
//     VRELM_TEST_SHARES(policy_settings, qzkrvmon_pipe)
//
// CMake reads that line and gives the test a CTest RESOURCE_LOCK of each
// name, so no two programs that declare one run at once. Every test
// program's main (support/TestMain.cpp) watches what the program itself
// opens and fails it at its end when it touched a state it did not declare;
// fixtures that set a state up check it as they start.
//
// The states, by lock name:
//   policy_settings  the machine's settings key (HKLM ...\QZ Print Settings):
//                    the managed print policy's location, values and cache
//   qzkrvmon_pipe    the Keravin monitor's pipe "\\.\pipe\QZKRVMon"
//   cluster_node     HKLM "Cluster": its presence makes the machine a node
//   shared_io        the maker's shared I/O component's key (HKLM)
//   mpl_cache        the per-user file cache key, cleared as a whole
#pragma once

#include <string>

namespace testenv {

class SharedStateDeclaration {
public:
    explicit SharedStateDeclaration(const char* names);
};

// The program's source declared this state.
bool declaresSharedState(const std::string& name);
// For a fixture that sets the state up: fails the running test, naming the
// line to add, when the program did not declare it.
void requireSharedState(const std::string& name);

} // namespace testenv

#define VRELM_TEST_SHARES(...)                                                                                   \
    namespace {                                                                                                \
    const ::testenv::SharedStateDeclaration vrelmSharedStateDeclaration(#__VA_ARGS__);                         \
    }                                                                                                          \
    static_assert(true, "")
