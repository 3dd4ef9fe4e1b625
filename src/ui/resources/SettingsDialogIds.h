// The settings sheet's two pages.
#pragma once

#include "ui/resources/DialogIds.h"

#define IDD_PAGE_GENERAL 115
#define IDD_PAGE_DEVICE_VERIFY 116

#define IDC_PAGE_HEADING 1041 // bold
#define IDC_PAGE_PICTURE 1101 // SS_OWNERDRAW: bitmap 1101

// General page: PromptMethod 0, 1, 2 (BS_OWNERDRAW radio buttons).
#define IDC_PROMPT_ALWAYS 1033
#define IDC_PROMPT_FIRST_JOB 1034
#define IDC_PROMPT_ON_ERROR 1035

// Device verification page: DeviceVerifyLevel 0, 1, 2 (BS_OWNERDRAW radio buttons).
#define IDC_VERIFY_HIGH 1060
#define IDC_VERIFY_MEDIUM 1061
#define IDC_VERIFY_LOW 1062
