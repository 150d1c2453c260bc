// Resource ids of sms's dialog (Sms.rc).
#pragma once

#define IDD_COMPOSE 100
#define IDC_COMPOSE_TO_LABEL 101
#define IDC_COMPOSE_TO 102
#define IDC_COMPOSE_TEXT 103
#define IDC_COMPOSE_PARTS 104
