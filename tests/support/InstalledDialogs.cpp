#include "support/InstalledDialogs.h"

namespace testenv {

InstalledDialogs::InstalledDialogs()
{
    PrintTimeDialogs::set(&dialogs_);
}

InstalledDialogs::~InstalledDialogs()
{
    PrintTimeDialogs::set(nullptr);
}

} // namespace testenv
