#include "ButtonHost.h"

#include <cstring>

namespace {

// Dialog templates are sequences of WORDs; items start on DWORD boundaries.
class TemplateWriter {
public:
    void Align()
    {
        if (words.size() % 2)
            words.push_back(0);
    }
    void Word(WORD value) { words.push_back(value); }
    void Dword(DWORD value)
    {
        Word(LOWORD(value));
        Word(HIWORD(value));
    }
    void Text(const char* text)
    {
        for (const char* p = text; *p; ++p)
            Word(static_cast<WORD>(static_cast<unsigned char>(*p)));
        Word(0);
    }
    void Item(DWORD style, short x, short y, short cx, short cy, WORD id, WORD classAtom, const char* text)
    {
        Align();
        Dword(style | WS_CHILD | WS_VISIBLE);
        Dword(0);
        Word(static_cast<WORD>(x));
        Word(static_cast<WORD>(y));
        Word(static_cast<WORD>(cx));
        Word(static_cast<WORD>(cy));
        Word(id);
        Word(0xFFFF);
        Word(classAtom);
        Text(text);
        Word(0);
    }
    std::vector<WORD> words;
};

const WORD BUTTON_ATOM = 0x0080;
const WORD EDIT_ATOM = 0x0081;

INT_PTR CALLBACK PlainDialogProc(HWND, UINT, WPARAM, LPARAM)
{
    return FALSE;
}

}  // namespace

ButtonHost::ButtonHost() : dialog(nullptr)
{
    TemplateWriter t;
    t.Dword(WS_POPUP | WS_VISIBLE | WS_CAPTION);
    t.Dword(0);
    t.Word(4);  // items
    t.Word(40);
    t.Word(40);
    t.Word(200);
    t.Word(100);
    t.Word(0);  // menu
    t.Word(0);  // class
    t.Text("Buttons");
    t.Item(BS_PUSHBUTTON | WS_TABSTOP, 10, 10, 50, 16, FIRST, BUTTON_ATOM, "First");
    t.Item(BS_PUSHBUTTON | WS_TABSTOP, 70, 10, 50, 16, SECOND, BUTTON_ATOM, "");
    t.Item(BS_DEFPUSHBUTTON | WS_TABSTOP, 130, 10, 50, 16, DEFAULT, BUTTON_ATOM, "Default");
    t.Item(ES_AUTOHSCROLL | WS_TABSTOP | WS_BORDER, 10, 40, 100, 14, EDIT, EDIT_ATOM, "");
    dialog = CreateDialogIndirectParamA(GetModuleHandleA(nullptr),
                                        reinterpret_cast<const DLGTEMPLATE*>(t.words.data()), nullptr,
                                        &PlainDialogProc, 0);
    if (!dialog)
        return;
    parent.SubclassWindow(dialog);
    SetForegroundWindow(dialog);
    SetActiveWindow(dialog);
}

ButtonHost::~ButtonHost()
{
    if (dialog)
        DestroyWindow(dialog);
    Pump();
}

void ButtonHost::Pump()
{
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (dialog && IsWindow(dialog) && CWnd::WalkPreTranslateTree(dialog, &msg))
            continue;
        if (dialog && IsWindow(dialog) && IsDialogMessageA(dialog, &msg))
            continue;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}
