// A static control that shows a picture from the resources over its whole client
// area and opens a link address when clicked (nothing when the address is empty).
#pragma once
#include <windows.h>

#include <string>

#include "framework/Static.h"
#include "ui/Picture.h"

class CPictureLink : public CStatic {
public:
    CPictureLink();

    // Keeps the control's top-left corner, makes it width x height pixels and
    // loads the picture; a failed load leaves a plain static.
    void ShowPicture(int width, int height, UINT resourceId, const char* resourceType);

    void SetLinkAddress(const std::string& address) { linkAddress = address; }
    int PictureLoaded() const { return pictureLoaded; }

protected:
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    LRESULT OnPaint(WPARAM wParam, LPARAM lParam);

    CPicture picture;
    int pictureLoaded;
    std::string linkAddress;
};
