// Resource and control identifiers of the main window and its dialogs.
#pragma once

#define IDD_MAIN 101
#define IDD_DETAILS 102
#define IDI_MAIN 111
#define IDB_BACKGROUND 117

#define IDC_DEMOPATH 1000
#define IDC_BROWSEDEMO 1001
#define IDC_INFO 1007
#define IDC_PLAY 1010
#define IDC_GAMEEXE 1011
#define IDC_SAVE 1012
#define IDC_EXTRAARGS 1013
#define IDC_BROWSEGAMEEXE 1021
#define IDC_DEMOSPEED 1026
#define IDC_DETAILS 1030
#define IDC_DETAILSTEXT 1031
