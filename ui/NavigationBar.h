// The page selector down the left of the main window: a framed panel with a header
// band and caption, hosting a toolbar whose check-group buttons choose the page.
// Every command is passed on to the parent, which switches the pages.
#pragma once
#include "framework/ImageList.h"
#include "framework/Wnd.h"

class CNavigationBar : public CWnd {
public:
    BOOL Initialize(int iconSize, UINT captionId);
    BOOL CreateToolbar(HWND parent, const RECT* rect);
    void AddButton(UINT commandId, UINT iconId, UINT captionId);

    HWND ToolbarWindow() const { return toolbarWindow; }
    // Shows the page of commandId as the chosen one, as a click on its button does.
    void CheckButton(UINT commandId);

protected:
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
    BOOL OnEraseBkgnd(HDC dc);

    CImageList buttonImages;
    HWND toolbarWindow = nullptr;
    int iconSize = 32;
    UINT captionId = 0;
};
