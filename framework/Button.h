// CButton: a push button; owner-drawn buttons paint in DrawItem, reflected from the parent.
#pragma once
#include "framework/Wnd.h"

class CButton : public CWnd {
public:
    virtual void DrawItem(DRAWITEMSTRUCT*) {}

protected:
    BOOL OnChildNotify(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
};
