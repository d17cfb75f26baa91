#pragma once
// The number overlay: while Ctrl is held inside a chat window, the numbers
// 1 to 9 stand over the first nine tabs. A hidden template (element 0) is
// made with the main window; the copies are made when first shown and
// destroyed when hidden.
#include <windows.h>

#include <vector>

namespace varnu {

class TabControl;

class NumberOverlay {
public:
    // The hidden template on `parent`, the main window; the numbers use `font`,
    // which must outlive them.
    void Create(HWND parent, HFONT font);

    void Show(const TabControl& tabs);
    void Hide();
    bool Shown() const noexcept { return !copies_.empty(); }

    HWND Template() const noexcept { return template_; }
    // Copy k stands at index k - 1.
    const std::vector<HWND>& Copies() const noexcept { return copies_; }

private:
    HWND parent_ = nullptr;
    HFONT font_ = nullptr;
    HWND template_ = nullptr;
    std::vector<HWND> copies_;
};

}  // namespace varnu
