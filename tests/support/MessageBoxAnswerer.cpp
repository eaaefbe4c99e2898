#include "support/MessageBoxAnswerer.h"

namespace fixtures {

namespace {

thread_local MessageBoxAnswerer* g_answerer = nullptr;

std::string TextOf(HWND hwnd)
{
    char buffer[2048] = "";
    GetWindowTextA(hwnd, buffer, sizeof(buffer));
    return buffer;
}

}  // namespace

MessageBoxAnswerer::MessageBoxAnswerer(int buttonId) : buttonId(buttonId)
{
    g_answerer = this;
    hook = SetWindowsHookExA(WH_CBT, &MessageBoxAnswerer::CbtProc, nullptr, GetCurrentThreadId());
}

MessageBoxAnswerer::~MessageBoxAnswerer()
{
    if (hook)
        UnhookWindowsHookEx(hook);
    g_answerer = nullptr;
}

LRESULT CALLBACK MessageBoxAnswerer::CbtProc(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HCBT_ACTIVATE && g_answerer) {
        HWND window = reinterpret_cast<HWND>(wParam);
        char className[32] = "";
        GetClassNameA(window, className, sizeof(className));
        if (lstrcmpA(className, "#32770") == 0)
            g_answerer->Answer(window);
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

void MessageBoxAnswerer::Answer(HWND box)
{
    Box seen;
    seen.caption = TextOf(box);
    seen.owner = GetWindow(box, GW_OWNER);
    // The message text is the box's static control with id 0xFFFF.
    HWND text = GetDlgItem(box, 0xFFFF);
    if (text)
        seen.text = TextOf(text);
    boxes.push_back(seen);
    PostMessageA(box, WM_COMMAND, MAKEWPARAM(buttonId, BN_CLICKED), 0);
}

}  // namespace fixtures
