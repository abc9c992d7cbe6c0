#pragma once

// Identifiers of the viewer's resources (shared by the .rc file and C++).
#define ORVEL_IDD_TEXT 100
#define ORVEL_IDD_NOTICE 101
#define ORVEL_IDC_PROMPT 1001
#define ORVEL_IDC_ENTRY 1002
#define ORVEL_IDC_NOTICE_TEXT 1003
