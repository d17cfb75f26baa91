#include "controls/xpstyle/tab_strip_xp.h"

#include <commctrl.h>

#include <algorithm>
#include <climits>
#include <map>
#include <vector>

#include "controls/tabcontrol/core/tab_logic.h"
#include "controls/xpstyle/core/strip_paint.h"
#include "controls/xpstyle/xp_functions.h"
#include "win32/handles.h"

namespace varnu {

namespace {

struct TabWindowFacts {
    xp::TabFacts facts;
    std::wstring caption;
};

// The caption is read as Unicode: the tab's text may be in any script,
// whatever the system's ANSI code page.
TabWindowFacts ReadTab(HWND tab, int index) {
    TabWindowFacts out;
    RECT rc{};
    if (::SendMessageW(tab, TCM_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&rc))) {
        out.facts.rectKnown = true;
        out.facts.rect = {rc.left, rc.top, rc.right, rc.bottom};
    }
    wchar_t buffer[256]{};
    TCITEMW item{};
    item.mask = TCIF_TEXT | TCIF_STATE | TCIF_PARAM;
    item.dwStateMask = TCIS_HIGHLIGHTED;
    item.pszText = buffer;
    item.cchTextMax = 255;
    if (::SendMessageW(tab, TCM_GETITEMW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item))) {
        const wchar_t* text = item.pszText ? item.pszText : buffer;
        out.caption.assign(text, wcsnlen(text, 255));
        out.facts.highlighted = (item.dwState & TCIS_HIGHLIGHTED) != 0;
        out.facts.quiet = (static_cast<std::uintptr_t>(item.lParam) & tabs::kItemQuiet) != 0;
    }
    out.facts.hasText = out.caption.find_first_not_of(L' ') != std::wstring::npos;
    return out;
}

RECT Bounds(const std::vector<xp::PaintOp>& ops) {
    RECT box{INT_MAX, INT_MAX, INT_MIN, INT_MIN};
    auto add = [&box](int l, int t, int r, int b) {
        box.left = std::min<LONG>(box.left, l);
        box.top = std::min<LONG>(box.top, t);
        box.right = std::max<LONG>(box.right, r);
        box.bottom = std::max<LONG>(box.bottom, b);
    };
    for (const auto& op : ops) {
        if (op.kind == xp::PaintOp::Kind::Pixel)
            add(op.x1, op.y1, op.x1 + 1, op.y1 + 1);
        else
            add(std::min(op.x1, op.x2), std::min(op.y1, op.y2), std::max(op.x1, op.x2) + 1, std::max(op.y1, op.y2) + 1);
    }
    return box;
}

}  // namespace

void clsTabStripXP::DrawTabStrip() { Paint(false); }
void clsTabStripXP::DrawTabStrip2() { Paint(true); }

void clsTabStripXP::Paint(bool xpLook) {
    if (!hdc || !hWnd) return;
    xp::StripInput in;
    in.selected = static_cast<int>(::SendMessageW(hWnd, TCM_GETCURSEL, 0, 0));
    in.count = static_cast<int>(::SendMessageW(hWnd, TCM_GETITEMCOUNT, 0, 0));
    in.current = CurrentItem;
    in.last = LastItem;
    in.clean = CleanItem;
    in.requested = RequestedItems;
    // Where the tabs really are: the window's own style, which the
    // setting is applied to.
    in.bottom = (::GetWindowLongPtrW(hWnd, GWL_STYLE) & TCS_BOTTOM) != 0;
    in.normal = ResolveColor(Colours.normal);
    in.selectedColour = ResolveColor(Colours.selected);
    in.hot = ResolveColor(Colours.hot);
    in.buttonFace = ::GetSysColor(COLOR_BTNFACE);
    RECT client{};
    ::GetClientRect(hWnd, &client);
    in.clientWidth = client.right;
    in.clientHeight = client.bottom;
    xp::SetStripBand(in, TabHeaderHeight(hWnd));

    std::map<int, std::wstring> captions;
    auto query = [this, &captions](int index) {
        TabWindowFacts tab = ReadTab(hWnd, index);
        captions[index] = std::move(tab.caption);
        return tab.facts;
    };
    const auto ops = xp::PlanStrip(in, xpLook ? xp::Look::Xp : xp::Look::Messenger, query);
    if (ops.empty()) return;

    // Drawn off screen first and put on the screen in one copy, so the
    // user never sees a tab filled but not yet outlined or captioned.
    RECT box = Bounds(ops);
    if (!::IntersectRect(&box, &box, &client)) return;
    const int w = box.right - box.left, h = box.bottom - box.top;
    win32::UniqueMemoryDc memory(::CreateCompatibleDC(hdc));
    win32::UniqueBitmap bitmap(::CreateCompatibleBitmap(hdc, w, h));
    if (!memory || !bitmap) return;
    win32::ScopedSelect useBitmap(memory.get(), bitmap.get());
    HDC dc = memory.get();
    ::BitBlt(dc, 0, 0, w, h, hdc, box.left, box.top, SRCCOPY);
    ::SetViewportOrgEx(dc, -box.left, -box.top, nullptr);

    win32::UniqueFont font(CreateItemFont(ItemSize, ItemItalic, ItemFont, ItemUnderline));
    win32::ScopedSelect useFont(dc, font ? static_cast<HGDIOBJ>(font.get()) : ::GetStockObject(DEFAULT_GUI_FONT));
    ::SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc, xp::kCaptionColour);
    for (const auto& op : ops) {
        switch (op.kind) {
        case xp::PaintOp::Kind::Line:
            DrawLineColor(op.x1, op.y1, op.x2, op.y2, dc, static_cast<std::int32_t>(op.colour));
            break;
        case xp::PaintOp::Kind::Pixel: ::SetPixelV(dc, op.x1, op.y1, op.colour); break;
        case xp::PaintOp::Kind::Caption: {
            RECT rc{op.x1, op.y1, op.x2, op.y2};
            const std::wstring& text = captions[op.item];
            // No prefix processing: a name with "&" is shown as written.
            ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &rc,
                        DT_SINGLELINE | DT_VCENTER | DT_CENTER | DT_NOPREFIX);
            break;
        }
        }
    }
    ::SetViewportOrgEx(dc, 0, 0, nullptr);
    ::BitBlt(hdc, box.left, box.top, w, h, dc, 0, 0, SRCCOPY);
}

}  // namespace varnu
