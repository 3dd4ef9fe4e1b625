// The shared-printer path dialog: the search dialog's controls plus the
// typed path and its browse button.
#pragma once

#include "ui/resources/SearchResultsDialogIds.h"

#define IDD_UNC_SEARCH 111

#define IDC_UNC_BROWSE 1003 // BS_OWNERDRAW
#define IDC_UNC_PATH 1048   // edit
