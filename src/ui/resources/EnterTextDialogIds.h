// The one-line text entry dialog (new profile, manual printer entry).
#pragma once

#include "ui/resources/DialogIds.h"

#define IDD_ENTER_TEXT 110

#define IDC_ENTER_LABEL1 1046
#define IDC_ENTER_LABEL2 1047
#define IDC_ENTER_TEXT 1048 // edit
