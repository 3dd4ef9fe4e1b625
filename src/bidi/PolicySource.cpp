#include "bidi/PolicySource.h"

#include <atomic>

namespace MPrint {

namespace {

std::atomic<PolicyBoolSource> boolSource{nullptr};

} // namespace

void setPolicyBoolSource(PolicyBoolSource source)
{
    boolSource.store(source);
}

bool policyBool(const wchar_t* name, bool defaultValue)
{
    const PolicyBoolSource source = boolSource.load();
    return source ? source(name, defaultValue) : defaultValue;
}

} // namespace MPrint
