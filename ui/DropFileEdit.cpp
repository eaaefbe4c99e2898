#include "ui/DropFileEdit.h"

#include "smart/ShortcutResolver.h"

#include <sys/stat.h>

#include <string>
#include <vector>

void CDropFileEdit::PreSubclassWindow()
{
    DragAcceptFiles(m_hWnd, TRUE);
    CEdit::PreSubclassWindow();
}

LRESULT CDropFileEdit::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_DROPFILES) {
        OnDropFiles(reinterpret_cast<HDROP>(wParam));
        return 0;
    }
    return CEdit::WindowProc(msg, wParam, lParam);
}

BOOL CDropFileEdit::OnDropFiles(HDROP drop)
{
    std::string path;
    UINT count = DragQueryFileA(drop, 0xFFFFFFFF, nullptr, 0);
    if (!ignoringDrops && count != 0) {
        UINT length = DragQueryFileA(drop, 0, nullptr, 0);
        std::vector<char> buffer(static_cast<size_t>(length) + 1, '\0');
        if (DragQueryFileA(drop, 0, buffer.data(), length + 1) > 0)
            path = buffer.data();
    }
    DragFinish(drop);

    std::string target = ReadShortcutTarget(path.c_str());
    if (!target.empty())
        path = target;
    if (path.empty())
        return FALSE;
    struct _stat status;
    if (_stat(path.c_str(), &status) != 0)
        return FALSE;
    if ((status.st_mode & _S_IFDIR) || !(status.st_mode & _S_IFREG))
        return FALSE;
    SetWindowText(path.c_str());
    return TRUE;
}
