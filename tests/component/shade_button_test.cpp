// The shade button on real windows: its faces in memory contexts, and clicks
// from mouse and key messages passing through the thread's queue.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "controls/shadebutton/shade_button.h"
#include "harness.h"

namespace varnu {
namespace {

using namespace std::chrono_literals;

struct Host {
    HWND hwnd = ::CreateWindowExW(0, L"Static", L"host", WS_POPUP | WS_VISIBLE, 40, 40, 300, 120, nullptr, nullptr,
                                  ::GetModuleHandleW(nullptr), nullptr);
    ~Host() { ::DestroyWindow(hwnd); }
};

COLORREF Rgb(std::uint32_t bgr) { return static_cast<COLORREF>(bgr); }

TEST(ShadeButtonTest, FacesAreNineSlicedFromTheSkins) {
    Host host;
    ShadeButton normal, preferred;
    // 32 pixels high, as the skins: rows map one to one, columns stretch.
    ASSERT_TRUE(normal.Create(host.hwnd, 10, 10, 100, 32, 1, L"确定"));
    ASSERT_TRUE(preferred.Create(host.hwnd, 120, 10, 100, 32, 2, L"取消", true));
    EXPECT_EQ(normal.Caption(), L"确定");  // the window text names the button
    for (int face = 0; face <= 2; ++face) {
        HDC dc = normal.FaceContext(face);
        EXPECT_EQ(::GetPixel(dc, 0, 0), Rgb(shade::SkinPixel(face, 0, 0))) << face;     // corner
        EXPECT_EQ(::GetPixel(dc, 99, 31), Rgb(shade::SkinPixel(face, 5, 31))) << face;  // corner
        EXPECT_EQ(::GetPixel(dc, 50, 0), Rgb(shade::SkinPixel(face, 2, 0))) << face;    // top edge
        EXPECT_EQ(::GetPixel(dc, 0, 15), Rgb(shade::SkinPixel(face, 0, 15))) << face;   // left edge
        EXPECT_EQ(::GetPixel(dc, 50, 15), Rgb(shade::SkinPixel(face, 2, 15))) << face;  // centre
    }
    // The default face: gold border from its own skin, centre of the normal
    // one, border one pixel thicker.
    HDC def = preferred.FaceContext(shade::kDefault);
    EXPECT_EQ(::GetPixel(def, 0, 0), Rgb(shade::SkinPixel(shade::kDefault, 0, 0)));
    EXPECT_EQ(::GetPixel(def, 50, 15), Rgb(shade::SkinPixel(shade::kNormal, 2, 15)));
    EXPECT_EQ(::GetPixel(def, 50, 2), ::GetPixel(def, 50, 1));
    EXPECT_EQ(::GetPixel(def, 2, 15), ::GetPixel(def, 1, 15));
    EXPECT_EQ(preferred.FaceState(), shade::kDefault);
}

TEST(ShadeButtonTest, ClicksFromMouseAndKeyboardAndNotFromADragAway) {
    Host host;
    ShadeButton button;
    ASSERT_TRUE(button.Create(host.hwnd, 10, 10, 100, 30, 7, L"检查更新"));
    int clicks = 0;
    std::wstring order;
    button.events.Click = [&] {
        ++clicks;
        order += L"C";
    };
    button.events.MouseDown = [&](short&, short&, float&, float&) { order += L"D"; };
    button.events.MouseUp = [&](short&, short&, float&, float&) { order += L"U"; };
    button.events.MouseOut = [&] { order += L"O"; };
    HWND h = button.hwnd();

    e2e::PostMouse(h, WM_MOUSEMOVE, 0, POINT{20, 10});
    e2e::Pause(30ms);
    EXPECT_EQ(::GetCapture(), h);  // it follows the mouse out of its face
    e2e::PostMouse(h, WM_LBUTTONDOWN, MK_LBUTTON, POINT{20, 10});
    e2e::Pause(20ms);
    EXPECT_EQ(::GetFocus(), h);
    e2e::PostMouse(h, WM_LBUTTONUP, 0, POINT{20, 10});
    e2e::Pause(20ms);
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(order, L"DUC");

    // Pressed, dragged away, released outside: no click.
    e2e::PostMouse(h, WM_LBUTTONDOWN, MK_LBUTTON, POINT{30, 10});
    e2e::PostMouse(h, WM_MOUSEMOVE, MK_LBUTTON, POINT{150, 10});
    e2e::PostMouse(h, WM_LBUTTONUP, 0, POINT{150, 10});
    e2e::Pause(30ms);
    EXPECT_EQ(clicks, 1);
    EXPECT_NE(::GetCapture(), h);

    // Space, the host handing it Enter or Escape, and Enter on the focused button.
    e2e::PostKey(h, VK_SPACE, true);
    e2e::Pause(20ms);
    EXPECT_EQ(button.FaceState() == shade::kPressed || button.FaceState() == shade::kSettled, true);
    e2e::PostKey(h, VK_SPACE, false);
    ::SendMessageW(h, BM_CLICK, 0, 0);
    e2e::PostKey(h, VK_RETURN, true);
    e2e::Pause(20ms);
    EXPECT_EQ(clicks, 4);

    // A fade runs to its end on the 1 ms timer; a disabled button clicks no more.
    EXPECT_TRUE(e2e::WaitUntil([&] { return button.FaceState() == shade::kSettled; }, 3000ms));
    button.SetEnabled(false);
    EXPECT_EQ(button.FaceState(), shade::kNormal);
    ::SendMessageW(h, BM_CLICK, 0, 0);
    e2e::PostMouse(h, WM_LBUTTONDOWN, MK_LBUTTON, POINT{20, 10});
    e2e::PostMouse(h, WM_LBUTTONUP, 0, POINT{20, 10});
    e2e::Pause(30ms);
    EXPECT_EQ(clicks, 4);
}

}  // namespace
}  // namespace varnu
