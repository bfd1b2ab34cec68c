// Resource ids: dialogs from 100, controls from 1000, the icon 128.
#pragma once

#ifndef IDC_STATIC
#define IDC_STATIC              (-1)
#endif

#define IDR_MAINFRAME           128

#define IDD_SYS_VANTREL_DIALOG  100
#define IDC_LIST_TASKS          1000
#define IDC_EDIT_DESCRIPTION    1001
#define IDC_BTN_START           1002

#define IDD_EXECUTE             102
#define IDC_EDIT_COMMAND        1001
#define IDC_EDIT_OUTPUT         1002

#define IDD_DLG_LIST            101
#define IDC_BTN_CHECK           1010
#define IDC_BTN_REFRESH         1011
#define IDC_ST_STATUS           1012
#define IDC_BTN_COMMIT          1013
#define IDC_LIST_ITEMS          1014
#define IDC_CB_MODE             1018
#define IDC_EDIT_FILTER         1021

#define IDD_DLG_TASK            104
#define IDC_ST_TASK_TEXT        1016
#define IDC_PB_TASK             1017

#define IDD_DLG_GET_INT         106
#define IDC_ST_VALUE_LABEL      1019
#define IDC_EDIT_VALUE          1020

#define IDD_DLG_REPO_DRV        103
#define IDC_BTN_OLD_DRIVERS     1003
#define IDC_BTN_DRV_REFRESH     1004
#define IDC_BTN_DRV_UNCHECK     1005
#define IDC_BTN_DRV_DELETE      1006
#define IDC_LIST_DRIVERS        1007
#define IDC_ST_DRV_STATUS       1008
