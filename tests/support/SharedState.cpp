#include "support/SharedState.h"

#include <gtest/gtest.h>

#include <set>
#include <sstream>

namespace testenv {

namespace {

std::set<std::string>& declared()
{
    static std::set<std::string> names;
    return names;
}

} // namespace

SharedStateDeclaration::SharedStateDeclaration(const char* names)
{
    std::stringstream list(names ? names : "");
    std::string name;
    while (std::getline(list, name, ',')) {
        const size_t first = name.find_first_not_of(" \t");
        const size_t last = name.find_last_not_of(" \t");
        if (first != std::string::npos)
            declared().insert(name.substr(first, last - first + 1));
    }
}

bool declaresSharedState(const std::string& name)
{
    return declared().count(name) != 0;
}

void requireSharedState(const std::string& name)
{
    if (!declaresSharedState(name))
        ADD_FAILURE() << "this test program sets up the shared machine state \"" << name
                      << "\" without declaring it: add VRELM_TEST_SHARES(" << name
                      << ") to its source (support/SharedState.h)";
}

} // namespace testenv
