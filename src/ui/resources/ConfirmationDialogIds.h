// The destination chooser: template and control ids.
#pragma once

#include "ui/resources/DialogIds.h"

#define IDD_CHOOSER 102

#define IDC_CHOOSER_BANNER 123           // SS_OWNERDRAW: banner bitmap 117 or 123
#define IDC_CHOOSER_SECURE 150           // SS_OWNERDRAW, hidden: secure-printer mark
#define IDC_CHOOSER_HEADING 1000
#define IDC_CHOOSER_NICKNAME 1004        // edit
#define IDC_CHOOSER_INFO 1005            // printer information text
#define IDC_CHOOSER_MAKE_PERMANENT 1006  // BS_OWNERDRAW check box
#define IDC_CHOOSER_SETTINGS_LINK 1014
#define IDC_CHOOSER_PROGRESS 1025        // msctls_progress32
#define IDC_CHOOSER_POLICY_LINK 1032
#define IDC_CHOOSER_TREE 1065            // SysTreeView32
#define IDC_CHOOSER_VERSION 1070         // drawn white on the banner
#define IDC_CHOOSER_STATUS 1072
#define IDC_CHOOSER_STATUS_BUTTON 1073   // BS_OWNERDRAW
#define IDC_CHOOSER_NICKNAME_LABEL 1074
#define IDC_CHOOSER_GROUP IDC_GROUP_FRAME
