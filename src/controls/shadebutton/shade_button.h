#pragma once
// ShadeButton: the program's skinned push button. Four faces (normal, hot,
// pressed, default) are built by nine-slice stretching of small skins into
// memory contexts; a change of face fades the new one in over the present
// look. The window text is the caption, so screen readers can name it; it
// takes the keyboard focus, shows it, and answers Space like a push button.
#include <windows.h>

#include <array>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "controls/shadebutton/core/shade_logic.h"
#include "win32/handles.h"
#include "win32/window.h"

namespace varnu {

class ShadeButton : public win32::Window {
public:
    static constexpr wchar_t kClassName[] = L"VarnuShadeButton";

    // Events in their declared order; arguments by reference. Mouse buttons
    // are 1 left, 2 right, 4 middle; shift is 1 Shift, 2 Ctrl, 4 Alt;
    // positions in pixels. A handler may destroy the button.
    struct Events {
        std::function<void()> Click;
        std::function<void()> MouseOut;
        std::function<void(short& button, short& shift, float& x, float& y)> MouseMove;
        std::function<void(short& button, short& shift, float& x, float& y)> MouseDown;
        std::function<void(short& button, short& shift, float& x, float& y)> MouseUp;
    };
    Events events;

    ShadeButton() = default;
    ~ShadeButton() override;

    // A child of `parent` with the given control id; `isDefault` says that
    // the host treats it as its default button (Enter).
    bool Create(HWND parent, int x, int y, int cx, int cy, int id, std::wstring_view caption, bool isDefault = false);

    std::wstring Caption() const;
    void SetCaption(std::wstring_view caption);
    bool Enabled() const;
    void SetEnabled(bool enabled);
    std::int32_t Speed() const noexcept { return speed_; }
    void SetSpeed(std::int32_t speed);
    COLORREF ForeColor() const noexcept { return foreColor_; }
    void SetForeColor(COLORREF colour);
    COLORREF HotColor() const noexcept { return hotColor_; }
    void SetHotColor(COLORREF colour) noexcept { hotColor_ = colour; }
    COLORREF PressedColor() const noexcept { return pressedColor_; }
    void SetPressedColor(COLORREF colour) noexcept { pressedColor_ = colour; }
    bool IsDefaultButton() const noexcept { return isDefault_; }
    // The host's ambient change: the faces are built again, so a button that
    // becomes the default has a default face to fade to.
    void SetDefaultButton(bool isDefault);

    // The host passes Enter or Escape on (default or cancel button).
    void PerformClick();

    // For tests: the built face i (0..3) and the fade state.
    HDC FaceContext(int face) const noexcept;
    std::int32_t FaceState() const noexcept { return faceState_; }
    std::int16_t FadeLevel() const noexcept { return fadeLevel_; }

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    void BuildFaces();
    void BuildFace(int face, int borderSkin, int centreSkin, int width, int height);
    void BlendFace(int face, int alpha);
    void KeepPicture();
    void StartFade(std::int32_t face, bool fromPresentLook);
    void OnTick();
    void Paint(HDC dc);
    void OnMouse(UINT msg, WPARAM wParam, LPARAM lParam);
    COLORREF CaptionColour() const;
    template <class Handler, class... Args>
    bool Raise(const Handler& handler, Args&... args);

    std::int32_t speed_ = shade::kDefaultSpeed;
    COLORREF foreColor_ = 0, hotColor_ = 0, pressedColor_ = 0;
    COLORREF captionColour_ = 0;
    bool isDefault_ = false;
    bool pressedByKey_ = false;
    bool pressedByMouse_ = false;
    bool timerRunning_ = false;
    std::int32_t faceState_ = shade::kNormal;
    std::int16_t fadeLevel_ = 0;
    int width_ = 0, height_ = 0;
    shade::MouseTracker mouse_;

    // Bitmaps are declared first so they outlive the contexts they sit in.
    std::array<win32::UniqueBitmap, 4> faceBitmap_;
    win32::UniqueBitmap keptBitmap_, currentBitmap_;
    std::array<win32::UniqueMemoryDc, 4> faceContext_;
    win32::UniqueMemoryDc keptContext_, currentContext_;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace varnu
