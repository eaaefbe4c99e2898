// CStatic and CEdit: plain control wrappers.
#pragma once
#include "framework/Wnd.h"

class CStatic : public CWnd {
};

class CEdit : public CWnd {
};
