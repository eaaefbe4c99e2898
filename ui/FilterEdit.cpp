#include "ui/FilterEdit.h"

namespace {

bool IsKeyDown(const MSG* msg, WPARAM key)
{
    return msg && msg->message == WM_KEYDOWN && msg->wParam == key;
}

}  // namespace

LRESULT CFilterEdit::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_GETDLGCODE: {
        // The dialog manager would take Esc for Cancel and the arrows for moving
        // between controls: the field asks for them itself.
        const MSG* asked = reinterpret_cast<const MSG*>(lParam);
        const bool wanted = (IsKeyDown(asked, VK_ESCAPE) && HasText()) || (IsKeyDown(asked, VK_DOWN) && listField);
        return CEdit::WindowProc(msg, wParam, lParam) | (wanted ? DLGC_WANTMESSAGE : 0);
    }
    case WM_KEYDOWN:
        if (wParam == VK_ESCAPE) {
            SetWindowText("");
            return 0;
        }
        if (wParam == VK_DOWN && listField) {
            ::SetFocus(listField);
            return 0;
        }
        return CEdit::WindowProc(msg, wParam, lParam);
    case WM_CHAR:
        // Esc's character: the field was emptied already, nothing to type or beep.
        return wParam == VK_ESCAPE ? 0 : CEdit::WindowProc(msg, wParam, lParam);
    default:
        return CEdit::WindowProc(msg, wParam, lParam);
    }
}
