// The framework tests' own templates and text, so the framework is tested without
// the program's resources.
#pragma once

#define IDD_TEST_PAGE 100
#define IDD_TEST_MODAL 101
#define IDC_TEST_BUTTON 1001
#define IDC_TEST_EDIT 1002
#define IDS_TEST_QUESTION 1
