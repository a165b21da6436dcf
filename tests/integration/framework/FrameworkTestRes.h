// Resource identifiers of the framework tests' own resource script.
#pragma once

#define IDD_TEST_FIRST_PAGE 100
#define IDD_TEST_SECOND_PAGE 101
#define IDD_TEST_DIALOG 102
#define IDR_TEST_MENU 110

#define IDC_TEST_COMBO 1001
#define IDC_TEST_EDIT 1002
#define IDC_TEST_TRACKBAR 1003
#define IDC_TEST_LABEL 1004
#define IDC_TEST_BUTTON 1005

#define IDS_TEST_FIRST_PAGE 200
#define IDS_TEST_SECOND_PAGE 201
#define IDS_TEST_LONG 202
#define ID_TEST_COMMAND 300
