// The connect dialog for a printer share that asks for credentials.
#pragma once

#include "ui/resources/DialogIds.h"

#define IDD_CONNECT_UNC 106

#define IDC_CONNECT_PICTURE IDC_ANIMATION // header bitmap 290
#define IDC_CONNECT_USER 1026             // edit, 128 characters
#define IDC_CONNECT_PASSWORD 1027         // edit, ES_PASSWORD
#define IDC_CONNECT_PATH 1028
#define IDC_CONNECT_HEADING 1029          // bold
#define IDC_CONNECT_GROUP IDC_GROUP_FRAME
