#pragma once
// The program's modeless windows (the settings dialog, the about box): one
// instance each, centred on their owner, topmost, with the owner's icon, and
// given the dialog keys (Tab, Enter, Escape, arrows in option groups) by the
// message loop.
#include <windows.h>

#include <memory>
#include <utility>

#include "win32/window.h"

namespace win32 {

// True when one of the open modeless windows took the message (IsDialogMessage).
bool RouteDialogMessage(MSG& msg);

// Top-left corner that centres a window of the given outer size on `owner`;
// on the work area when there is no owner or it is minimised (in the tray).
POINT CentreOnOwner(HWND owner, int width, int height);

// The program's face at 9 points in the Chinese character set, as the
// messenger's own dialogs.
HFONT CreateDialogFont(int weight = FW_NORMAL);

class ModelessWindow : public Window {
public:
    void BringToFront();
    void Unload();

protected:
    // Creates the window with the given client size, centred on `owner`,
    // topmost and shown, with the owner's icons, in the dialog-key routing.
    bool CreateModeless(const wchar_t* className, const wchar_t* title, DWORD style, DWORD exStyle, int clientWidth,
                        int clientHeight, HWND owner, HBRUSH background);
    // From the window's WM_DESTROY.
    void LeaveModeless();
};

// The one instance of a modeless window. The object of a closed window is
// dropped at the next opening, never from inside one of its own handlers.
template <class T>
class SingleInstance {
public:
    // Opens a new window made from `args`, or brings the open one to the front.
    template <class... Args>
    void Show(Args&&... args) {
        if (object_ && object_->hwnd()) {
            object_->BringToFront();
            return;
        }
        object_ = std::make_unique<T>(std::forward<Args>(args)...);
        if (!object_->Load()) object_.reset();
    }
    void Close() {
        if (object_ && object_->hwnd()) object_->Unload();
    }
    HWND Window() const { return object_ ? object_->hwnd() : nullptr; }

private:
    std::unique_ptr<T> object_;
};

}  // namespace win32
