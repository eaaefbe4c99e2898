#include "ui/ProductListCtrl.h"

namespace {

// Characters that type into a text: not the control characters (Tab, Enter, Esc,
// Ctrl+letter) the list and the dialog use. Both bytes of a double-byte character
// come as characters of this kind.
bool IsTyped(WPARAM ch)
{
    return ch >= 0x20 && ch != 0x7F;
}

}  // namespace

LRESULT CProductListCtrl::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (!filterField)
        return CListCtrl::WindowProc(msg, wParam, lParam);
    if (msg == WM_CHAR && IsTyped(wParam)) {
        ::SetFocus(filterField);
        ::SendMessageA(filterField, EM_SETSEL, static_cast<WPARAM>(-1), -1);
        return ::SendMessageA(filterField, WM_CHAR, wParam, lParam);
    }
    if (msg == WM_KEYDOWN && wParam == 'F' && GetKeyState(VK_CONTROL) < 0) {
        ::SetFocus(filterField);
        ::SendMessageA(filterField, EM_SETSEL, 0, -1);
        return 0;
    }
    return CListCtrl::WindowProc(msg, wParam, lParam);
}
