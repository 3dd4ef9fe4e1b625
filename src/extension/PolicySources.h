// The managed print policy, and the list cache beside it, as the layers below
// the printing extension ask for them: the device code's yes/no values,
// whether paths show device addresses, and the discovery services manager's
// managed lists. The extension installs them when it is created; they reach
// the process's policy on each call, so they stay installed.
#pragma once

namespace MPrint {

void installPolicySources();

} // namespace MPrint
