#pragma once
// Every identifier of the program's resources and window commands, shared by the resource
// script and the window code. Menu items, toolbar buttons, accelerators and the string table
// use the same command numbers, so a tooltip or a menu-help line is found by the command's id.
// Kept free of C++ so that the resource compiler can read it.

// ---- Program resources ---------------------------------------------------------------------
#define IDI_TARNWICK 128 // program icon
#define IDB_TOOLBAR 128  // toolbar strip: eight images, 16 x 15 each
#define IDR_MAINMENU 109 // main menu (the window class's menu)
#define IDR_ACCEL 109    // accelerator table of the main window
#define IDR_POPUPS 138   // context popups, loaded afresh each time one is shown

// Positions of the popups inside IDR_POPUPS.
#define POPUP_LOCAL_LIST 0 // "1": local file list
#define POPUP_REMOTE 1     // "2": remote list and remote tree
#define POPUP_TRACE 2      // "3": trace list
#define POPUP_ACCOUNTS 3   // "4": account menu of the log-on button's arrow

#define TOOLBAR_IMAGE_COUNT 8
#define TOOLBAR_IMAGE_WIDTH 16
#define TOOLBAR_IMAGE_HEIGHT 15

// ---- Dialog templates ----------------------------------------------------------------------
#define IDD_ABOUT 103
#define IDD_ACCOUNT 130     // "Preferences": one account's details
#define IDD_GETNAME 134     // "Specify Name"
#define IDD_ACCOUNTS 135    // "Accounts": the account manager
#define IDD_GETPASS 138     // "Enter Password"
#define IDD_IMPORT 139      // "Import Accounts"
#define IDD_EXPORT 140      // "Export Accounts"
#define IDD_SEARCH 141      // "Search Results"
#define IDD_SITECOMMAND 142 // "Enter SITE Parameters"
#define IDD_GETUSERNAME 143 // "Enter Username"

// ---- Dialog controls -----------------------------------------------------------------------
// Labels are found by their text; they carry no id of their own.
#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif

// The one-line prompts (134, 138, 142, 143).
#define IDC_PROMPT_EDIT 1010
#define IDC_SAVE_PASSWORD 1000
#define IDC_SAVE_USERNAME 1001

// About box (103).
#define IDC_ABOUT_ICON 1040
#define IDC_ABOUT_VERSION 1041
#define IDC_ABOUT_NOTICE 1042
#define IDC_ABOUT_CONTACT 1043

// Account details (130).
#define IDC_ACC_USER 1000
#define IDC_ACC_PASSWORD 1001
#define IDC_ACC_SERVER 1002
#define IDC_ACC_PORT 1003
#define IDC_ACC_ANONYMOUS 1004
#define IDC_ACC_PASV 1005
#define IDC_ACC_NAME 1016
#define IDC_ACC_SAVEPASSWORD 1027

// Account manager (135); "Close" is IDOK.
#define IDC_ACCOUNTS_ADD 1011
#define IDC_ACCOUNTS_EDIT 1012
#define IDC_ACCOUNTS_DELETE 1013
#define IDC_ACCOUNTS_LIST 1014
#define IDC_ACCOUNTS_DEFAULT 1015
#define IDC_ACCOUNTS_ANONNAME 1026
#define IDC_ACCOUNTS_IMPORT 1031
#define IDC_ACCOUNTS_EXPORT 1032

// Import (139) and export (140); "Import"/"Export" is IDOK, "Close" is IDCANCEL.
#define IDC_IMPEXP_FILE 1028
#define IDC_EXPORT_PASSWORDS 1029
#define IDC_IMPEXP_BROWSE 1030

// Search results (141); "Close" is IDOK. "Delete" has an id of its own: IDCANCEL is what
// Escape and the close box send, and neither may delete anything.
#define IDC_SEARCH_LIST 1033
#define IDC_SEARCH_DOWNLOAD 3
#define IDC_SEARCH_REFRESH 4
#define IDC_SEARCH_DELETE 1034

// ---- Child windows of the main window ------------------------------------------------------
#define IDC_TRACEBAR 1     // the trace bar's container
#define IDC_METER 20       // the transfer meter inside the trace bar
#define IDC_FIRST_TREE 110 // tree controls take 110, 111, ... in order of creation
#define IDC_STATUSBAR 111  // shares its number with the second tree: route by window handle
#define IDC_FIRST_LIST 112 // list controls take 112, 113, ... in order of creation
#define IDC_TRACE_LIST 116
#define IDC_TOOLBAR 128

// Timers.
#define IDT_QUEUE 1 // main window: one-shot run of the queue pump
#define IDT_STATUS 2 // main window: the newest count of pending commands, shown late
#define IDT_METER 1 // meter window: one sample a second

// ---- Commands ------------------------------------------------------------------------------
#define ID_ACCEL_HELPKEY 104        // Alt+"/" and Alt+"?": no handler
#define ID_RECURSIVE_DELETE 130     // "Recursive Delete Server Directory"
#define ID_SITE_USING_DIR 132       // "Execute SITE Command using Dir"
#define ID_SITE_USING_FILE 133      // "Execute SITE Command using File"
#define ID_HELP_OVERVIEW 145        // "Overview ..."
#define ID_HELP_SUPPORT 146         // "Support Forums"
#define ID_REMOVE_FILE 32791        // "Re&move Remote File"
#define ID_CREATE_DIR 32792         // "&Create Server Directory"
#define ID_CLOSE_CONNECTION 32796   // "&Close Connection"
#define ID_RETRIEVE 32798           // "&Retrieve from Server"
#define ID_DELETE_DIR 32799         // "&Delete Server Directory"
#define ID_SEND 32804               // "&Send To Server"
#define ID_ACCOUNT_MANAGER 32811    // "&Account Manager"
#define ID_ABORT 32828              // "&Abort Current Actions"
#define ID_REFRESH_LOCAL 32834      // "Refresh &Local List"
#define ID_REFRESH_REMOTE 32835     // "Refresh Re&mote List"
#define ID_ACCEL_KEYPAD_PLUS 32836  // Ctrl+Shift+keypad plus: no handler
#define ID_ACCEL_KEYPAD_MINUS 32837 // Ctrl+Shift+keypad minus: no handler
#define ID_PASTE 32838              // "Paste"
#define ID_RESUME 32840             // Ctrl+Shift+Enter: resume after reconnect
#define ID_CLEAR_TRACE 32841        // "Clear Trace Bar" / "Clear"
#define ID_REMOTE_SEARCH 32843      // "Remote Search..."
#define ID_ACCOUNT_FIRST 33000      // account menu items: 33000 + position in the account list
#define ID_ACCOUNT_LAST 33019
#define ID_ABOUT 57664 // "&About Tarnwick2"
#define ID_LOGON 57601 // "&Logon"
#define ID_EXIT 57665  // "E&xit"

// ---- Texts ---------------------------------------------------------------------------------
#define TW_VERSION_TEXT "Tarnwick Version 2.302"
