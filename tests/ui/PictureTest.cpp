// The banner picture: decoded from the resources, drawn upright and stretched, its
// failures reported or silent as they should be, and the static control that shows it.
#include "ui/PictureLink.h"

#include <gtest/gtest.h>

#include <functional>

#include "resource.h"
#include "support/DibCanvas.h"
#include "support/MessageBoxAnswerer.h"

namespace {

// A 2 x 2 GIF: the top row red, the bottom row blue.
const unsigned char TWO_ROWS_GIF[] = {
    0x47, 0x49, 0x46, 0x38, 0x39, 0x61, 0x02, 0x00, 0x02, 0x00, 0x81, 0x00, 0x00, 0xFF, 0x00,
    0x00, 0x00, 0x00, 0xFF, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x2C, 0x00, 0x00, 0x00, 0x00,
    0x02, 0x00, 0x02, 0x00, 0x00, 0x02, 0x04, 0x04, 0xC1, 0x30, 0x05, 0x00, 0x3B};

TEST(Picture, IsDrawnUprightAndStretchedOverItsRectangleOnly)
{
    CPicture rows;
    DibCanvas canvas(40, 40);
    ASSERT_TRUE(rows.LoadFromMemory(TWO_ROWS_GIF, sizeof(TWO_ROWS_GIF)));
    ASSERT_TRUE(rows.Draw(canvas.Dc(), {10, 10, 30, 30}));
    EXPECT_EQ(0, canvas.CountNot({10, 10, 30, 20}, RGB(255, 0, 0)));
    EXPECT_EQ(0, canvas.CountNot({10, 20, 30, 30}, RGB(0, 0, 255)));
    EXPECT_EQ((RECT{10, 10, 30, 30}), canvas.Painted());
}

TEST(Picture, FailedLoadsReleaseTheEarlierPictureAndAMissingResourceIsReported)
{
    const char junk[] = "this is not a picture at all, just some text bytes";
    const struct {
        const char* name;
        std::function<BOOL(CPicture&)> load;
        BOOL result;
        const char* box;  // the error box shown, as "caption: text"
    } failures[] = {
        {"missing resource", [](CPicture& p) { return p.LoadFromResource(4321, "GIF"); }, FALSE,
         "CPicture Error: FindResource() Failed\t"},
        {"resource that is no picture", [](CPicture& p) { return p.LoadFromResource(1, RT_MANIFEST); }, FALSE, ""},
        {"bytes that are no picture", [&](CPicture& p) { return p.LoadFromMemory(junk, sizeof(junk)); }, TRUE, ""},
        {"no bytes", [&](CPicture& p) { return p.LoadFromMemory(junk, 0); }, FALSE, ""},
    };
    for (const auto& failure : failures) {
        SCOPED_TRACE(failure.name);
        fixtures::MessageBoxAnswerer answerer(IDOK);
        CPicture picture;
        ASSERT_TRUE(picture.LoadFromMemory(TWO_ROWS_GIF, sizeof(TWO_ROWS_GIF)));
        EXPECT_EQ(failure.result, failure.load(picture));
        EXPECT_FALSE(picture.HasPicture());
        ASSERT_LE(answerer.Count(), 1u);
        EXPECT_EQ(failure.box, answerer.Count() ? answerer.Boxes()[0].caption + ": " + answerer.Boxes()[0].text : "");
    }
    CPicture loaded;
    ASSERT_TRUE(loaded.LoadFromMemory(TWO_ROWS_GIF, sizeof(TWO_ROWS_GIF)));
    EXPECT_FALSE(loaded.Draw(nullptr, {0, 0, 10, 10}));
}

// Sized to the picture in place (the main window's layout relies on it), the link
// paints the picture into the context it is given and validates on a real paint; a
// picture that does not load leaves a plain static.
TEST(PictureLink, PaintsThePictureOrAPlainStatic)
{
    fixtures::MessageBoxAnswerer answerer(IDOK);  // the missing picture is reported
    CWnd parent;
    CPictureLink link;
    ASSERT_TRUE(parent.CreateEx(0, nullptr, "host", WS_POPUP | WS_VISIBLE, {50, 50, 850, 250}, nullptr, 0));
    ASSERT_TRUE(link.CreateEx(0, "STATIC", "", WS_CHILD | WS_VISIBLE | SS_NOTIFY, {7, 9, 37, 29}, parent, 1));
    link.ShowPicture(729, 68, IDR_BANNER, "GIF");
    DibCanvas painted(729, 68), expected(729, 68), plain(200, 40);
    link.SendMessage(WM_PAINT, reinterpret_cast<WPARAM>(painted.Dc()));
    CPicture picture;
    ASSERT_TRUE(picture.LoadFromResource(0x10000 + IDR_BANNER, "GIF")) << "the low 16 bits name the resource";
    ASSERT_TRUE(picture.Draw(expected.Dc(), expected.Whole()));
    EXPECT_EQ(0, painted.Differences(expected));
    EXPECT_GT(painted.CountNot(painted.Whole(), BACKGROUND), 729 * 68 * 9 / 10);
    UpdateWindow(link);
    EXPECT_FALSE(GetUpdateRect(link, nullptr, FALSE)) << "a real paint validates the control";

    link.ShowPicture(200, 40, 4321, "GIF");
    EXPECT_EQ(0, link.PictureLoaded());
    link.SendMessage(WM_PAINT, reinterpret_cast<WPARAM>(plain.Dc()));
    EXPECT_EQ(0, plain.CountNot(plain.Whole(), plain.At(0, 0))) << "one flat colour";
}

}  // namespace
