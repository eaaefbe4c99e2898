// A real dialog (built from an in-memory template) holding push buttons and an
// edit field, bound to a framework window that counts the notifications it gets.
#pragma once
#include <windows.h>

#include <map>
#include <memory>
#include <vector>

#include "framework/Wnd.h"

class NotificationCounter : public CWnd {
public:
    int Count(UINT id, UINT code) const
    {
        auto found = counts.find(Key(id, code));
        return found == counts.end() ? 0 : found->second;
    }
    void Reset() { counts.clear(); }

protected:
    BOOL OnCommand(WPARAM wParam, LPARAM) override
    {
        ++counts[Key(CommandId(wParam), CommandCode(wParam))];
        return TRUE;
    }

private:
    static DWORD Key(UINT id, UINT code) { return MAKELONG(id, code); }
    std::map<DWORD, int> counts;
};

class ButtonHost {
public:
    enum { FIRST = 201, SECOND = 202, DEFAULT = 203, EDIT = 204 };

    ButtonHost();
    ~ButtonHost();
    ButtonHost(const ButtonHost&) = delete;
    ButtonHost& operator=(const ButtonHost&) = delete;

    HWND Dialog() const { return dialog; }
    HWND Item(int id) const { return GetDlgItem(dialog, id); }
    NotificationCounter& Parent() { return parent; }
    // Runs the thread's pending messages the way the modal loop does.
    void Pump();
    // Pumps until done() or the timeout; true when done() became true.
    template <typename Done>
    bool PumpUntil(Done done, DWORD timeoutMs)
    {
        const DWORD start = GetTickCount();
        while (!done()) {
            if (GetTickCount() - start > timeoutMs)
                return false;
            Pump();
            Sleep(10);
        }
        return true;
    }

private:
    HWND dialog;
    NotificationCounter parent;
};
