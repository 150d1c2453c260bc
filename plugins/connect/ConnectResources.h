// Resource ids of connect's dialog (Connect.rc).
#pragma once

#define IDD_PIN 100
#define IDC_PIN_PROMPT 101
#define IDC_PIN_EDIT 102
#define IDC_PIN_TRIES 103
