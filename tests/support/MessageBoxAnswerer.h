// Answers every message box (or other "#32770" dialog) that this thread opens while
// the object lives: records its caption and text, then presses the given button.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

namespace fixtures {

class MessageBoxAnswerer {
public:
    explicit MessageBoxAnswerer(int buttonId);
    ~MessageBoxAnswerer();
    MessageBoxAnswerer(const MessageBoxAnswerer&) = delete;
    MessageBoxAnswerer& operator=(const MessageBoxAnswerer&) = delete;

    struct Box {
        std::string caption;
        std::string text;
        HWND owner = nullptr;  // the window that owns the box
    };
    const std::vector<Box>& Boxes() const { return boxes; }
    size_t Count() const { return boxes.size(); }

private:
    static LRESULT CALLBACK CbtProc(int code, WPARAM wParam, LPARAM lParam);
    void Answer(HWND box);

    int buttonId;
    HHOOK hook = nullptr;
    std::vector<Box> boxes;
};

}  // namespace fixtures
