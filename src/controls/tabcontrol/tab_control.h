#pragma once
// TabControl: the program's tab strip. A host window of its own holds one
// owner-drawn "SysTabControl32" window; the control turns that window's
// notifications and mouse messages into events, raised synchronously. A tab
// can be dragged along the row to a new place, or out of the strip.
#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "controls/tabcontrol/core/tab_drag.h"
#include "controls/tabcontrol/core/tab_logic.h"
#include "win32/handles.h"
#include "win32/subclass.h"
#include "win32/window.h"

namespace varnu {

struct TabRect {
    int left = 0, top = 0, right = 0, bottom = 0;
};

class TabControl {
public:
    // Events in their declared order; arguments by reference as declared.
    // A handler may call back into the control, replace itself, or even
    // destroy the control; exceptions thrown by a handler end at the control.
    struct Events {
        std::function<void(int& index)> Changed;
        std::function<void()> LButtonClicked;
        std::function<void(int& index)> RButtonClicked;
        std::function<void(int& index)> MButtonClicked;
        std::function<void()> LButtonDBLClicked;
        std::function<void()> RButtonClickedWindow;
        // Raised once per wheel notch turned over the strip; bDirection is
        // true when the wheel turns towards the user, which means "next tab".
        std::function<void(bool& bDirection)> MouseWheel;
        // A dragged tab has moved from one place to another; raised at each
        // step while the drag goes on, and for the way back when it is
        // cancelled (Escape, or the mouse taken elsewhere).
        std::function<void(int& from, int& to)> ItemMoved;
        // A tab was dragged far from the strip and released there; x and y
        // are the drop point on the screen.
        std::function<void(int& index, int& x, int& y)> DraggedOut;
        // The mouse rests on tab `index`: the owner puts the tab's tooltip
        // into `text` (lines apart by CR LF); empty text shows none.
        std::function<void(int& index, std::wstring& text)> TipText;
    };
    Events events;

    // Draws one owner-drawn tab. The plain default keeps the strip usable
    // until a real painter takes over; a painter that draws the whole strip
    // itself sets this to nullptr (or to its own function).
    using DrawItemFn = void (*)(const TabControl& tabs, const DRAWITEMSTRUCT& item);
    static void DrawItemDefault(const TabControl& tabs, const DRAWITEMSTRUCT& item);
    DrawItemFn drawItem = &DrawItemDefault;

    // Longest caption, in UTF-16 units, that GetItemText hands back.
    static constexpr size_t kMaxCaptionChars = 254;

    TabControl() = default;
    ~TabControl();
    TabControl(const TabControl&) = delete;
    TabControl& operator=(const TabControl&) = delete;

    // Creates the host window as a child of `parent`, then the tab window
    // filling it, and sets the program's face (win32/ui_font.h).
    bool CreateHost(HWND parent, int x, int y, int cx, int cy, int id = 0);

    HWND hWndHost() const noexcept { return hWndHost_; }
    HWND hWnd() const noexcept { return hWndTab_; }  // the tab window

    bool Bottom() const noexcept { return bottom_; }
    void SetBottom(bool value);
    bool Roll() const noexcept { return roll_; }
    void SetRoll(bool value);

    int Selected() const;
    void SetSelected(int index);
    int Count() const;

    void AddItem(std::wstring_view caption, int pos = -1);
    void DelItem(int pos);
    void Clear();
    // Moves a tab with its caption and highlight; the selection stays on the
    // tab it was on. Raises nothing.
    void MoveItem(int from, int to);
    std::wstring GetItemText(int pos) const;
    void SetItemText(int pos, std::wstring_view caption);
    std::optional<bool> IsHilighted(int pos) const;
    void HilightItem(int pos, bool highlight);
    // The quiet mark the painter draws on a tab; pushed in by the owner.
    bool IsItemQuiet(int pos) const;
    void SetItemQuiet(int pos, bool quiet);
    TabRect GetItemRect(int pos) const noexcept;
    int GetHeaderHeight() const noexcept;
    int GetHeaderBottomHeight() const;
    TabRect GetAdjustRect() const;
    TabRect GetRect() const;
    void Move(int x, int y, int cx, int cy) noexcept;
    void SetToBottom();
    void SetFocus();
    void SetFont(std::wstring_view fontName, int points, int charset);
    HWND Create(int cx, int cy);
    void Destroy();

private:
    // The host window, a window of our own: its messages come to HostMessage.
    class Host final : public win32::Window {
    public:
        explicit Host(TabControl& owner) : owner_(owner) {}
        bool Create(HWND parent, int x, int y, int cx, int cy, int id);

    protected:
        LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;

    private:
        TabControl& owner_;
    };
    // The tab window is subclassed through the subclassing service, the one
    // way the program subclasses a window: the XP style engine hooks it
    // beside us, and each nested message finds its own entries.
    class TabHook final : public ISubclass {
    public:
        explicit TabHook(TabControl& owner) : owner_(owner) {}
        std::int32_t MsgResponse() noexcept override { return 0; }  // TabMessage passes on itself
        void SetMsgResponse(std::int32_t) override {}
        LRESULT WindowProc(HWND hWnd, UINT iMsg, WPARAM wParam, LPARAM lParam) override {
            return owner_.TabMessage(hWnd, iMsg, wParam, lParam);
        }

    private:
        TabControl& owner_;
    };

    LRESULT HostMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    LRESULT TabMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    void HookTabWindow(HWND tab, bool hook) noexcept;
    void WindowProc(UINT msg, WPARAM wParam, LPARAM lParam);                // host: notices, clicks on the empty strip
    bool SubWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);  // tab window: mouse
    void RaiseWheel(int delta);
    // The tooltip follows the tab under the mouse: one tool, over that tab.
    void CreateTip();
    void TipFollowMouse(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    void ForgetTipTab();
    void DestroyTip();
    void AnswerTipText(NMTTDISPINFOW& info);
    // Pressing, dragging and dropping a tab; true when the message is answered.
    bool DragProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    void DragTo(int to);
    void EndDrag(bool putBack);
    std::vector<tabs::Box> ItemBoxes() const;
    void ApplyStyle();
    void DestroyHost();
    std::wstring Caption(int pos) const;  // the whole caption, uncut

    std::unique_ptr<Host> host_;
    TabHook tabHook_{*this};
    HWND hWndHost_ = nullptr;
    HWND hWndTab_ = nullptr;
    bool bottom_ = false;
    bool roll_ = false;
    win32::UniqueFont font_;
    // A pop-up owned by the top-level window; destroyed with the tab window.
    HWND tip_ = nullptr;
    int tipTab_ = -1;       // the tab the tool stands over, -1 for none
    std::wstring tipText_;  // kept while the tooltip shows it
    tabs::WheelSteps wheel_;
    tabs::TabDrag drag_{::GetSystemMetrics(SM_CXDRAG), ::GetSystemMetrics(SM_CYDRAG)};
    HWND focusBeforeDrag_ = nullptr;
    // Cleared by the destructor; a window procedure holds a copy across an
    // event so it can tell that a handler destroyed the control under it.
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace varnu
