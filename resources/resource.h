// Resource ids: dialogs from 100, controls from 1000, the icon 128.
#pragma once

#define IDR_MAINFRAME           128

#define IDD_SYS_VANTREL_DIALOG  100
#define IDC_LIST_TASKS          1000
#define IDC_EDIT_DESCRIPTION    1001
#define IDC_BTN_START           1002
