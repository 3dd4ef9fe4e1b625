// The search results dialog and the controls its derived dialogs keep.
#pragma once

#include "ui/resources/DialogIds.h"

#define IDD_SEARCH_RESULTS 104

#define IDC_SEARCH_STOP 7
#define IDC_SEARCH_SECURE 150       // SS_OWNERDRAW: secure-printer mark
#define IDC_SEARCH_ANIMATION IDC_ANIMATION
#define IDC_SEARCH_DETAILS 1005
#define IDC_SEARCH_LIST 1010        // LISTBOX, LBS_NOTIFY | WS_HSCROLL (a list view in the TCP/IP dialog)
#define IDC_SEARCH_SUBHEADING 1016
#define IDC_SEARCH_HEADING 1019
#define IDC_SEARCH_STATUS 1020
#define IDC_SEARCH_AGAIN 1042       // BS_OWNERDRAW
