// Context menus of the chooser's tree and their command ids. The popup of
// each menu is its submenu 0.
#pragma once

#define IDM_PROFILE_MENU 151
#define IDM_PRINTER_MENU 152 // position 0 of its popup is the "move to" submenu
#define IDM_GENERAL_MENU 153

#define ID_PRINTER_COPY_TO_NEW_PROFILE 3001
#define ID_PRINTER_MOVE_TO_NEW_PROFILE 3501
#define ID_PRINTER_MOVE_TO_FIRST 3502 // 3502..4000: numbered profiles, filled at run time
#define ID_PRINTER_MOVE_TO_LAST 4000
#define ID_PRINTER_DELETE 4003
#define ID_PRINTER_RENAME 4004
#define ID_PROFILE_NEW 4011
#define ID_PROFILE_DELETE 4012
#define ID_PROFILE_CLEAR 4013
#define ID_PROFILE_RENAME 4014
