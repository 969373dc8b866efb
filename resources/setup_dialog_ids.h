// Controls of the setup dialogs "DispenserCassetteSetupDialog" and
// "DispenserRejectSetupDialog", shared by the resource script and the code.
#pragma once

// The cassette dialog.
#define IDC_CASSETTE_DENOMINATION_LABEL 618
#define IDC_CASSETTE_DENOMINATION 619
#define IDC_CASSETTE_COUNTED 620
#define IDC_CASSETTE_COUNT 621
#define IDC_CASSETTE_COUNT_SPIN 622
#define IDC_CASSETTE_MAX_DISPENSE_ON 623
#define IDC_CASSETTE_MAX_DISPENSE 624
#define IDC_CASSETTE_MAX_DISPENSE_SPIN 625
#define IDC_CASSETTE_MIN_AMOUNT_ON 626
#define IDC_CASSETTE_MIN_AMOUNT 627
#define IDC_CASSETTE_MIN_AMOUNT_SPIN 628

// The reject-bin dialog.
#define IDC_REJECT_COUNT_LABEL 134
#define IDC_REJECT_COUNT 621
#define IDC_REJECT_COUNT_SPIN 622
#define IDC_REJECT_RESET 629
#define IDC_REJECT_LIMIT_ON 623
#define IDC_REJECT_LIMIT 624
#define IDC_REJECT_LIMIT_SPIN 625
