// A thousand paints (and loads) of every control leave no GDI object behind.
#include <gtest/gtest.h>

#include <functional>

#include "ButtonHost.h"
#include "DibCanvas.h"
#include "controls/GradientBands.h"
#include "controls/PageButton.h"
#include "controls/PictureLink.h"
#include "support/GdiCount.h"

namespace {

TEST(Leaks, ThousandPaintsOfEveryControlLeaveNoGdiObjects)
{
    // The count sees a single brush, so a leak cannot hide.
    const DWORD start = fixtures::LiveGdiObjectCount();
    OwnedGdi<HBRUSH> probe(CreateSolidBrush(RGB(1, 1, 1)));
    ASSERT_EQ(start + 1, fixtures::LiveGdiObjectCount());
    probe.Reset();

    ButtonHost host;
    CPageButton caption, icon;
    ASSERT_TRUE(caption.SubclassDlgItem(ButtonHost::FIRST, &host) && icon.SubclassDlgItem(ButtonHost::SECOND, &host));
    ASSERT_EQ(0, icon.SetIcons(IDI_HELP_LINK, 0));
    CPictureLink banner;
    ASSERT_TRUE(banner.CreateEx(0, "STATIC", "", WS_CHILD | WS_VISIBLE, {0, 0, 10, 10}, host, 1));
    banner.ShowPicture(729, 68, IDR_BANNER, "GIF");
    CPicture picture;
    DibCanvas canvas(300, 70);
    const UINT states[] = {0, ODS_FOCUS, ODS_SELECTED, ODS_DISABLED, ODS_SELECTED | ODS_FOCUS};
    auto repaint = [](HWND window) { RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW); };
    const std::pair<const char*, std::function<void(int)>> controls[] = {
        {"buttons with caption or icon",
         [&](int i) {
             host.Paint(i % 2 ? caption : icon, canvas.Dc(), 60, 24, states[i % 5]);
             if (i % 10 == 0)
                 repaint(i % 20 ? caption : icon);
         }},
        {"gradient bands",
         [&](int) { FillGradientBands(canvas.Dc(), 0, 0, 300, 4, RGB(255, 0, 0), RGB(0, 0, 255), FALSE); }},
        {"banner",
         [&](int i) {
             if (i % 2)
                 banner.SendMessage(WM_PAINT, reinterpret_cast<WPARAM>(canvas.Dc()));
             else
                 repaint(banner);
         }},
        {"pictures loaded and drawn",
         [&](int i) {
             if (i % 20 == 0)
                 picture.LoadFromResource(IDR_BANNER, "GIF");
             EXPECT_TRUE(picture.Draw(canvas.Dc(), {0, 0, 100, 20}));
         }},
    };
    for (const auto& control : controls) {
        control.second(0);  // the first paint may fill caches of the system's own
        host.Pump();
        const DWORD before = fixtures::LiveGdiObjectCount();
        for (int i = 0; i < 1000; ++i)
            control.second(i);
        host.Pump();
        EXPECT_EQ(before, fixtures::LiveGdiObjectCount()) << control.first;
    }
}

}  // namespace
