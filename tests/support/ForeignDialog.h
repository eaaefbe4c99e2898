// Answers a message box that another process shows (an uninstaller's question):
// finds its top-level "#32770" window by title and presses a button, pumping this
// thread's messages while it waits.
#pragma once
#include <windows.h>

#include <string>

#include "framework/Handles.h"
#include "support/AppTestSupport.h"

// Vista's; the build declares the XP API only.
extern "C" WINBASEAPI BOOL WINAPI QueryFullProcessImageNameA(HANDLE process, DWORD flags, LPSTR name, PDWORD size);

namespace fixtures {

// What a box told before it was answered: its process (opened to wait for its end),
// that process's program and the box's text.
struct ForeignBox {
    OwnedKernel process;
    std::string program;
    std::string text;
};

// The first box of another process with this title that is shown (its thread then
// answers messages), or nullptr.
inline HWND FindForeignBox(const std::string& title)
{
    for (HWND box = FindWindowExA(nullptr, nullptr, "#32770", title.c_str()); box;
         box = FindWindowExA(nullptr, box, "#32770", title.c_str())) {
        DWORD processId = 0;
        GetWindowThreadProcessId(box, &processId);
        if (processId != GetCurrentProcessId() && IsWindowVisible(box))
            return box;
    }
    return nullptr;
}

// Waits up to timeoutMs for such a box and presses button (IDYES, IDNO, ...) in it;
// false when none came.
inline bool PressForeignButton(const std::string& title, int button, DWORD timeoutMs, ForeignBox* found = nullptr)
{
    HWND box = nullptr;
    if (!apptest::PumpUntil([&] { return (box = FindForeignBox(title)) != nullptr; }, timeoutMs))
        return false;
    if (found) {
        DWORD processId = 0;
        GetWindowThreadProcessId(box, &processId);
        found->process.Reset(OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, processId));
        char program[MAX_PATH] = "";
        DWORD size = MAX_PATH;
        if (found->process && QueryFullProcessImageNameA(found->process, 0, program, &size))
            found->program = program;
        found->text = apptest::WindowText(GetDlgItem(box, 0xFFFF));  // a message box's text control
    }
    return PostMessageA(box, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), 0) != FALSE;
}

}  // namespace fixtures
