// Numbers of the dialog templates and their controls, shared by the resource scripts and the
// code that drives the dialogs. Plain macros, so that the resource compiler reads them too.
#pragma once

// The question before a path is opened.
#define IDD_CONFIRM 102
#define IDC_CONFIRM_DONT_ASK 1001
#define IDC_CONFIRM_PATH 1011
#define IDC_CONFIRM_QUESTION 1012
#define IDC_CONFIRM_ICON 1013

// The progress window.
#define IDD_PROGRESS 103
#define IDC_PROGRESS_BAR 1014
#define IDC_PROGRESS_TEXT 1015

// The settings dialog.
#define IDD_SETUP 104
#define IDC_SETUP_BASIC_GROUP 1016
#define IDC_SETUP_CONFIRM 1017
#define IDC_SETUP_TRIPLE_CLICK 1018
#define IDC_SETUP_ADVANCED_GROUP 1019
#define IDC_SETUP_PRESERVE 1020
#define IDC_SETUP_PRESERVE_NOTE 1021
#define IDC_SETUP_FILE 1022

// The system's information icon (IDI_INFORMATION); the library carries no icon of its own.
#define IDI_SYSTEM_INFORMATION 32516
