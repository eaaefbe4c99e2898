// Answers every message box (or other "#32770" dialog) that this thread opens while
// the object lives: records its caption, text and owner, then presses a button.
#pragma once
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "support/AppTestSupport.h"

namespace fixtures {

class MessageBoxAnswerer {
public:
    // Fills in the dialog if it likes and names the button to press.
    using Answer = std::function<int(HWND box)>;
    explicit MessageBoxAnswerer(int buttonId) : MessageBoxAnswerer([buttonId](HWND) { return buttonId; }) {}
    explicit MessageBoxAnswerer(Answer answer) : answer(std::move(answer))
    {
        current = this;
        hook = SetWindowsHookExA(WH_CBT, CbtProc, nullptr, GetCurrentThreadId());
    }
    ~MessageBoxAnswerer()
    {
        UnhookWindowsHookEx(hook);
        current = nullptr;
    }
    MessageBoxAnswerer(const MessageBoxAnswerer&) = delete;
    MessageBoxAnswerer& operator=(const MessageBoxAnswerer&) = delete;

    struct Box {
        std::string caption, text;
        HWND owner;
        HWND window;
    };
    const std::vector<Box>& Boxes() const { return boxes; }
    size_t Count() const { return boxes.size(); }

    // The texts of the boxes that action opens, each answered with buttonId.
    static std::vector<std::string> TextsDuring(int buttonId, const std::function<void()>& action)
    {
        MessageBoxAnswerer answerer(buttonId);
        action();
        std::vector<std::string> texts;
        for (const Box& box : answerer.boxes)
            texts.push_back(box.text);
        return texts;
    }

private:
    static LRESULT CALLBACK CbtProc(int code, WPARAM wParam, LPARAM lParam)
    {
        HWND box = reinterpret_cast<HWND>(wParam);
        char className[32] = "";
        if (code == HCBT_ACTIVATE && current && GetClassNameA(box, className, sizeof(className)) &&
            lstrcmpA(className, "#32770") == 0) {
            // A message box shows its text in the static control with id 0xFFFF.
            current->boxes.push_back({apptest::WindowText(box), apptest::WindowText(GetDlgItem(box, 0xFFFF)),
                                      GetWindow(box, GW_OWNER), box});
            PostMessageA(box, WM_COMMAND, current->answer(box), 0);
        }
        return CallNextHookEx(nullptr, code, wParam, lParam);
    }

    static inline thread_local MessageBoxAnswerer* current = nullptr;
    Answer answer;
    HHOOK hook = nullptr;
    std::vector<Box> boxes;
};

}  // namespace fixtures
