// Ids every dialog template of the resource module may share. Plain
// #defines: this header is read by the resource compiler as well as by C++.
// IDOK (1), IDCANCEL (2) and IDHELP (9) come from the platform headers;
// in every template they are owner-drawn push buttons.
#pragma once

// A right-to-left user interface asks for template id + this offset; only
// ids below it are shifted.
#define RTL_TEMPLATE_OFFSET 500

#define IDC_CONTENT_WINDOW 121 // optional: the area the dialog lays its content into
#define IDC_GROUP_FRAME 1076   // owner-drawn group frame (BS_OWNERDRAW)
#define IDC_ANIMATION 290      // status picture of every animated dialog (SS_OWNERDRAW)

#ifndef IDC_STATIC
#define IDC_STATIC (-1) // labels no code refers to
#endif
