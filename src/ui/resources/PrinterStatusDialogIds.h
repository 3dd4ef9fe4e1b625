// The printer status dialog (verification, make permanent).
#pragma once

#include "ui/resources/DialogIds.h"

#define IDD_PRINTER_STATUS 105

#define IDC_STATUS_ANIMATION IDC_ANIMATION
#define IDC_STATUS_PRINTER_LABEL 1021 // bold
#define IDC_STATUS_STATE_LABEL 1022   // bold
#define IDC_STATUS_PRINTER 1023       // the destination's name
#define IDC_STATUS_TEXT 1024          // status line
