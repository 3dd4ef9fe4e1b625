// Bitmaps of the resource module. Every picture with transparent parts uses
// magenta (0xFF00FF) as its key colour.
#pragma once

#define IDB_BANNER 117           // chooser banner
#define IDB_BANNER_PRINTING 123  // chooser banner while a job waits (modes 2 and 3)

// Tree images, 16 x 16: id = IDB_TREE_FIRST + image key.
#define IDB_TREE_FIRST 125
#define IDB_TREE_GROUP 125            // search root and profiles, collapsed
#define IDB_TREE_PRINTER 126
#define IDB_TREE_LIST 127             // managed lists
#define IDB_TREE_SERVICE 128          // discovery service
#define IDB_TREE_PRINTER_DEFAULT 129
#define IDB_TREE_GROUP_OPEN 130       // search root and profiles, expanded
#define IDB_TREE_SHARE 131            // shared printer
#define IDB_TREE_SHARE_DEFAULT 132
#define IDB_TREE_MANUAL_ENTRY 133
#define IDB_TREE_LAST 133

#define IDB_SECURE 150

// Animation frames of the status picture, all of one size.
#define IDB_ANIMATION_FIRST 210
#define IDB_ANIMATION_LAST 264

#define IDB_STATUS_PICTURE 290 // still picture and connect header, the frames' size
#define IDB_PAGE_PICTURE 1101
