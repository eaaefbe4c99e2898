// A picture decoded by the platform's OLE picture service from bytes held in the
// program's resources or in memory, drawn stretched into a rectangle.
#pragma once
#include <windows.h>
#include <ole2.h>
#include <olectl.h>

#include "framework/Handles.h"

class CPicture {
public:
    // Resource `resourceId` (low 16 bits used) of type `resourceType` in the
    // program's resources. Nonzero when a picture is held afterwards.
    BOOL LoadFromResource(UINT resourceId, const char* resourceType);
    // Nonzero when the bytes were handed to the decoder; whether a picture
    // resulted is told by HasPicture().
    BOOL LoadFromMemory(const void* bytes, DWORD byteCount);
    // Draws the whole picture stretched into rectangle. Zero when dc is null,
    // nothing is held or the picture cannot be drawn.
    BOOL Draw(HDC dc, RECT rectangle);
    void ReleasePicture() { picture.Reset(); }

    bool HasPicture() const { return picture.Get() != nullptr; }

private:
    OwnedInterface<IPicture> picture;
};
