// Drives the running uninstall manager for screenshots, without a mouse:
//   ScreenshotDriver wait [SECONDS] [CAPTION]  waits for the top window (caption
//                                              "软件卸载" unless given)
//   ScreenshotDriver analyze [PATH]            shows the second page, starts an
//                                              analysis of PATH (by default a sample
//                                              product's desktop shortcut) and waits
//                                              up to a minute for its status line
//                                              to report the end
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "DemoCatalog.h"
#include "machine/Text.h"

namespace {

const UINT COMMAND_SMART_PAGE = 101;
const int TARGET_EDIT = 1016;
const int ANALYZE_BUTTON = 1018;
const int STATUS_EDIT = 1022;
const int ANALYSIS_SECONDS = 60;
const UINT SEND_TIMEOUT_MS = 5000;

std::string MainCaption()
{
    return machine::Ansi("软件卸载");
}

HWND WaitForWindow(const std::string& caption, int seconds)
{
    for (int tick = 0; tick < seconds * 10; ++tick) {
        HWND window = FindWindowA(nullptr, caption.c_str());
        if (window && IsWindowVisible(window))
            return window;
        Sleep(100);
    }
    return nullptr;
}

struct PageSearch {
    HWND page;
};

BOOL CALLBACK FindAnalysisPage(HWND child, LPARAM param)
{
    if (GetDlgItem(child, TARGET_EDIT) && GetDlgItem(child, ANALYZE_BUTTON)) {
        reinterpret_cast<PageSearch*>(param)->page = child;
        return FALSE;
    }
    return TRUE;
}

BOOL CALLBACK FindToolbar(HWND child, LPARAM param)
{
    char className[64] = "";
    GetClassNameA(child, className, sizeof(className));
    if (strcmp(className, TOOLBARCLASSNAMEA) != 0)
        return TRUE;
    *reinterpret_cast<HWND*>(param) = child;
    return FALSE;
}

// Shows the second page as a click on its navigation button would: the command,
// and the button drawn pressed.
void ShowSmartPage(HWND main)
{
    DWORD_PTR ignored = 0;
    SendMessageTimeoutA(main, WM_COMMAND, MAKEWPARAM(COMMAND_SMART_PAGE, 0), 0, SMTO_ABORTIFHUNG,
                        SEND_TIMEOUT_MS, &ignored);
    HWND toolbar = nullptr;
    EnumChildWindows(main, FindToolbar, reinterpret_cast<LPARAM>(&toolbar));
    if (toolbar)
        SendMessageTimeoutA(toolbar, TB_CHECKBUTTON, COMMAND_SMART_PAGE, MAKELPARAM(TRUE, 0), SMTO_ABORTIFHUNG,
                            SEND_TIMEOUT_MS, &ignored);
}

std::string DefaultTarget()
{
    for (const demo::DemoProduct& product : demo::DemoProducts()) {
        if (product.uninstallerName)
            return demo::DesktopShortcutPath(product);
    }
    return std::string();
}

int Wait(int argc, char** argv)
{
    int seconds = argc > 2 ? atoi(argv[2]) : 30;
    std::string caption = argc > 3 ? argv[3] : MainCaption();
    if (!WaitForWindow(caption, seconds > 0 ? seconds : 30)) {
        printf("ScreenshotDriver: no window appeared\n");
        return 1;
    }
    return 0;
}

std::string StatusText(HWND page)
{
    char text[MAX_PATH] = "";
    DWORD_PTR copied = 0;
    if (!SendMessageTimeoutA(GetDlgItem(page, STATUS_EDIT), WM_GETTEXT, sizeof(text),
                             reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, SEND_TIMEOUT_MS, &copied))
        return std::string();
    text[sizeof(text) - 1] = '\0';
    return text;
}

// The page drains its messages while it analyses, so its status line can be
// read meanwhile; it says "分析完毕!" at the end.
bool WaitForAnalysis(HWND page)
{
    std::string done = machine::Ansi("分析完毕!");
    for (int tick = 0; tick < ANALYSIS_SECONDS * 10; ++tick) {
        if (StatusText(page) == done)
            return true;
        Sleep(100);
    }
    return false;
}

int Analyze(int argc, char** argv)
{
    HWND main = WaitForWindow(MainCaption(), 10);
    if (!main) {
        printf("ScreenshotDriver: the main window is not there\n");
        return 1;
    }
    ShowSmartPage(main);
    DWORD_PTR ignored = 0;
    PageSearch search = {nullptr};
    EnumChildWindows(main, FindAnalysisPage, reinterpret_cast<LPARAM>(&search));
    if (!search.page) {
        printf("ScreenshotDriver: no page with controls %d and %d\n", TARGET_EDIT, ANALYZE_BUTTON);
        return 1;
    }
    std::string target = argc > 2 ? argv[2] : DefaultTarget();
    HWND edit = GetDlgItem(search.page, TARGET_EDIT);
    SendMessageTimeoutA(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(target.c_str()), SMTO_ABORTIFHUNG,
                        SEND_TIMEOUT_MS, &ignored);
    // The analysis runs inside the click handler: post, do not wait for it.
    PostMessageA(GetDlgItem(search.page, ANALYZE_BUTTON), BM_CLICK, 0, 0);
    printf("analysing %s\n", target.c_str());
    if (!WaitForAnalysis(search.page)) {
        printf("ScreenshotDriver: the analysis did not report its end\n");
        return 1;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc > 1 && strcmp(argv[1], "wait") == 0)
        return Wait(argc, argv);
    if (argc > 1 && strcmp(argv[1], "analyze") == 0)
        return Analyze(argc, argv);
    printf("usage: ScreenshotDriver wait [SECONDS] [CAPTION] | analyze [PATH]\n");
    return 2;
}
