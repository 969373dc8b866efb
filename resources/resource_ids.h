// Identifiers of the plug-in's resources, shared by the resource script and the code.
#pragma once

// The operator dialog "DISPENSER".
#define IDC_DISPENSER_LOG 1480

// The log window's menu "AppLogWindowPopupMenu" and accelerators "AppLogWindowAccel".
#define IDM_LOG_SAVE 503
#define IDM_LOG_SAVE_AS 504
#define IDM_LOG_COPY 513
#define IDM_LOG_SELECT_ALL 517
#define IDM_LOG_FIND 518
#define IDM_LOG_FIND_NEXT 519
