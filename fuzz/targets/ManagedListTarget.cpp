// A custom managed printer list as a server or share may serve it, read by
// the list driver with its includes (every include answers the same bytes,
// so circular and deep includes come up), settings and groups. Nothing
// leaves the process: reads and address resolution are in memory.
#include "ManagedListCheck.h"

namespace {

class ManagedListTarget : public fuzz::ManagedListCheck {
public:
    ManagedListTarget() : ManagedListCheck(L"%TEMP%\\list.xml") {}
};

} // namespace

FUZZ_TARGET(ManagedListTarget, "managed-list", fuzz::InputShape::Xml);
