// The managed-list search results dialog: the search dialog's controls plus
// the list of groups and the save-as-profile box.
#pragma once

#include "ui/resources/SearchResultsDialogIds.h"

#define IDD_MANAGED_LIST_SEARCH 107

#define IDC_MANAGED_GROUPS 1030      // LISTBOX, LBS_NOTIFY
#define IDC_MANAGED_SAVE_PROFILE 1031 // auto check box
