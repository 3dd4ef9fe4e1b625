// The OKV administration tool's printer export as a list, read by the list
// driver with the OKV reader ("OKV:" location), as the custom list is.
#include "ManagedListCheck.h"

namespace {

class OkvListTarget : public fuzz::ManagedListCheck {
public:
    OkvListTarget() : ManagedListCheck(L"OKV:%TEMP%\\okv.xml") {}
};

} // namespace

FUZZ_TARGET(OkvListTarget, "okv-list", fuzz::InputShape::Xml);
