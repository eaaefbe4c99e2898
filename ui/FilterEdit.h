// The quick page's filter field: Esc empties it (and nothing else happens, such as
// the dialog's Cancel), the down arrow goes to the list below.
#pragma once
#include "framework/Static.h"

class CFilterEdit : public CEdit {
public:
    void SetListField(HWND list) { listField = list; }

protected:
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    bool HasText() const { return ::GetWindowTextLengthA(m_hWnd) > 0; }

    HWND listField = nullptr;
};
