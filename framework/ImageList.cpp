#include "framework/ImageList.h"

BOOL CImageList::Create(int cx, int cy, UINT flags, int initial, int grow)
{
    DeleteImageList();
    list = ImageList_Create(cx, cy, flags, initial, grow);
    return list != nullptr;
}

BOOL CImageList::DeleteImageList()
{
    if (!list)
        return FALSE;
    ImageList_Destroy(list);
    list = nullptr;
    return TRUE;
}

int CImageList::Add(HICON icon)
{
    if (!list || !icon)
        return -1;
    return ImageList_ReplaceIcon(list, -1, icon);
}
