#pragma once
// The number overlay: while Ctrl is held inside a chat window, the numbers
// 1 to 9 stand over the first nine tabs. The number windows are made when
// first shown and destroyed when hidden.
#include <windows.h>

#include <vector>

namespace varnu {

class TabControl;

class NumberOverlay {
public:
    // The numbers go on `parent`, the main window, in `font`, which must
    // outlive them.
    void Create(HWND parent, HFONT font) noexcept {
        parent_ = parent;
        font_ = font;
    }

    void Show(const TabControl& tabs);
    void Hide();
    bool Shown() const noexcept { return !copies_.empty(); }

    // Number k stands at index k - 1.
    const std::vector<HWND>& Copies() const noexcept { return copies_; }

private:
    HWND parent_ = nullptr;
    HFONT font_ = nullptr;
    std::vector<HWND> copies_;
};

}  // namespace varnu
