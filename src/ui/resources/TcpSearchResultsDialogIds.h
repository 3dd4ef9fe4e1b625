// The TCP/IP search results dialog: the search dialog's controls, with
// IDC_SEARCH_LIST a one-column report list view.
#pragma once

#include "ui/resources/SearchResultsDialogIds.h"

#define IDD_TCP_SEARCH 108
