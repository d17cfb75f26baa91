#include "controls/shadebutton/shade_button.h"

#include <windowsx.h>

#include <algorithm>

#include "win32/msgbox.h"
#include "win32/winapi.h"

namespace varnu {
namespace {

constexpr UINT_PTR kTimerPaint = 1;
constexpr UINT kTimerPaintMs = 1;

// The four skins, drawn once per process from the colour table and kept for
// the run (they are a few hundred bytes).
struct Skins {
    std::array<HDC, 4> dc{};
    Skins() {
        HDC screen = ::GetDC(nullptr);
        for (int skin = 0; skin < 4; ++skin) {
            BITMAPINFO info{};
            info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
            info.bmiHeader.biWidth = shade::kSkinWidth;
            info.bmiHeader.biHeight = -shade::kSkinHeight;  // top-down
            info.bmiHeader.biPlanes = 1;
            info.bmiHeader.biBitCount = 32;
            info.bmiHeader.biCompression = BI_RGB;
            void* bits = nullptr;
            HBITMAP bitmap = ::CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
            if (!bitmap || !bits) continue;
            auto* pixels = static_cast<DWORD*>(bits);
            for (int y = 0; y < shade::kSkinHeight; ++y) {
                for (int x = 0; x < shade::kSkinWidth; ++x) {
                    const std::uint32_t bgr = shade::SkinPixel(skin, x, y);
                    // DIB pixels are 0x00RRGGBB.
                    pixels[y * shade::kSkinWidth + x] = ((bgr & 0xff) << 16) | (bgr & 0xff00) | ((bgr >> 16) & 0xff);
                }
            }
            dc[skin] = ::CreateCompatibleDC(screen);
            ::SelectObject(dc[skin], bitmap);
        }
        ::ReleaseDC(nullptr, screen);
    }
};

const Skins& SkinSet() {
    static const Skins* skins = new Skins;  // kept for the run, never torn down
    return *skins;
}

short ButtonOf(UINT msg) {
    switch (msg) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP: return 1;
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP: return 2;
    default: return 4;
    }
}

}  // namespace

ShadeButton::~ShadeButton() {
    *alive_ = false;
    if (hwnd()) ::KillTimer(hwnd(), kTimerPaint);
}

template <class Handler, class... Args>
bool ShadeButton::Raise(const Handler& handler, Args&... args) {
    if (!handler) return true;
    const std::shared_ptr<bool> alive = alive_;
    try {
        Handler copy = handler;
        copy(args...);
    } catch (...) {
        // Reported here and no further: the button must still finish its click.
        ReportCaught(L"ShadeButton event");
    }
    return *alive && hwnd();
}

bool ShadeButton::Create(HWND parent, int x, int y, int cx, int cy, int id, std::wstring_view caption, bool isDefault) {
    if (!RegisterWindowClass(kClassName)) return false;
    isDefault_ = isDefault;
    faceState_ = isDefault ? shade::kDefault : shade::kNormal;
    HDC screen = ::GetDC(nullptr);
    for (auto& context : faceContext_) context.reset(::CreateCompatibleDC(screen));
    keptContext_.reset(::CreateCompatibleDC(screen));
    currentContext_.reset(::CreateCompatibleDC(screen));
    ::ReleaseDC(nullptr, screen);
    const std::wstring text(caption);
    return CreateWindowFor(kClassName, text.c_str(), WS_CHILD | WS_VISIBLE | WS_TABSTOP, 0, x, y, cx, cy, parent,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(id))) != nullptr;
}

std::wstring ShadeButton::Caption() const {
    if (!hwnd()) return {};
    const int length = ::GetWindowTextLengthW(hwnd());
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    text.resize(static_cast<size_t>(::GetWindowTextW(hwnd(), text.data(), length + 1)));
    return text;
}

void ShadeButton::SetCaption(std::wstring_view caption) {
    if (!hwnd()) return;
    const std::wstring text(caption);
    ::SetWindowTextW(hwnd(), text.c_str());  // WM_SETTEXT builds the faces again
}

bool ShadeButton::Enabled() const { return hwnd() && ::IsWindowEnabled(hwnd()); }

void ShadeButton::SetEnabled(bool enabled) {
    StartFade(isDefault_ ? shade::kDefault : shade::kNormal, false);
    if (hwnd()) ::EnableWindow(hwnd(), enabled ? TRUE : FALSE);
    if (!enabled) pressedByKey_ = pressedByMouse_ = false;
    if (hwnd()) ::InvalidateRect(hwnd(), nullptr, FALSE);
}

void ShadeButton::SetSpeed(std::int32_t speed) {
    speed_ = speed;
    BuildFaces();
}

void ShadeButton::SetForeColor(COLORREF colour) {
    foreColor_ = colour;
    captionColour_ = colour;
    if (hwnd()) ::InvalidateRect(hwnd(), nullptr, FALSE);
}

void ShadeButton::SetDefaultButton(bool isDefault) {
    isDefault_ = isDefault;
    if (isDefault) faceState_ = shade::kDefault;
    fadeLevel_ = 0;
    BuildFaces();
    StartFade(faceState_, false);
}

void ShadeButton::PerformClick() {
    if (!Enabled()) return;
    Raise(events.Click);
}

HDC ShadeButton::FaceContext(int face) const noexcept {
    return face >= 0 && face < 4 ? faceContext_[static_cast<size_t>(face)].get() : nullptr;
}

void ShadeButton::BuildFace(int face, int borderSkin, int centreSkin, int width, int height) {
    HDC target = faceContext_[static_cast<size_t>(face)].get();
    if (!target) return;
    HDC screen = ::GetDC(nullptr);
    win32::UniqueBitmap bitmap(::CreateCompatibleBitmap(screen, width, height));
    ::ReleaseDC(nullptr, screen);
    if (!bitmap) return;
    ::SelectObject(target, bitmap.get());
    faceBitmap_[static_cast<size_t>(face)] = std::move(bitmap);  // the replaced one goes

    const Skins& skins = SkinSet();
    ::SetStretchBltMode(target, COLORONCOLOR);
    const auto pieces = shade::NineSlice(width, height);
    for (size_t i = 0; i < pieces.size(); ++i) {
        const shade::Piece& p = pieces[i];
        HDC source = skins.dc[static_cast<size_t>(i == 0 ? centreSkin : borderSkin)];
        if (!source || p.dstW <= 0 || p.dstH <= 0) continue;
        ::StretchBlt(target, p.dstX, p.dstY, p.dstW, p.dstH, source, p.srcX, p.srcY, p.srcW, p.srcH, SRCCOPY);
    }
}

void ShadeButton::BuildFaces() {
    if (!hwnd()) return;
    RECT rc;
    ::GetClientRect(hwnd(), &rc);
    width_ = std::max<int>(rc.right, 1);
    height_ = std::max<int>(rc.bottom, 1);
    for (int face = shade::kNormal; face <= shade::kPressed; ++face) BuildFace(face, face, face, width_, height_);
    if (isDefault_) {
        BuildFace(shade::kDefault, shade::kDefault, shade::kNormal, width_, height_);
        // A thicker gold border: the default button stands out.
        HDC dc = faceContext_[shade::kDefault].get();
        if (width_ > 5 && height_ > 5) {
            ::BitBlt(dc, 2, 2, width_ - 4, 1, dc, 2, 1, SRCCOPY);
            ::BitBlt(dc, 2, height_ - 3, width_ - 4, 1, dc, 2, height_ - 2, SRCCOPY);
            ::BitBlt(dc, 2, 2, 1, height_ - 4, dc, 1, 2, SRCCOPY);
            ::BitBlt(dc, width_ - 3, 2, 1, height_ - 4, dc, width_ - 2, 2, SRCCOPY);
        }
    }
    HDC screen = ::GetDC(nullptr);
    keptBitmap_.reset();
    currentBitmap_.reset();
    win32::UniqueBitmap kept(::CreateCompatibleBitmap(screen, width_, height_));
    win32::UniqueBitmap current(::CreateCompatibleBitmap(screen, width_, height_));
    ::ReleaseDC(nullptr, screen);
    ::SelectObject(keptContext_.get(), kept.get());
    ::SelectObject(currentContext_.get(), current.get());
    keptBitmap_ = std::move(kept);
    currentBitmap_ = std::move(current);
    ::BitBlt(currentContext_.get(), 0, 0, width_, height_, faceContext_[shade::kNormal].get(), 0, 0, SRCCOPY);
    KeepPicture();
    ::InvalidateRect(hwnd(), nullptr, FALSE);
}

void ShadeButton::KeepPicture() {
    ::BitBlt(keptContext_.get(), 0, 0, width_, height_, currentContext_.get(), 0, 0, SRCCOPY);
}

void ShadeButton::BlendFace(int face, int alpha) {
    HDC current = currentContext_.get();
    ::BitBlt(current, 0, 0, width_, height_, keptContext_.get(), 0, 0, SRCCOPY);
    // A face never built (the default face of a button that is not the
    // default) draws nothing, so the button keeps its look.
    if (faceBitmap_[static_cast<size_t>(face)]) {
        const BLENDFUNCTION blend{AC_SRC_OVER, 0, static_cast<BYTE>(alpha), 0};
        ::AlphaBlend(current, 0, 0, width_, height_, faceContext_[static_cast<size_t>(face)].get(), 0, 0, width_,
                     height_, blend);
    }
    ::InvalidateRect(hwnd(), nullptr, FALSE);
}

void ShadeButton::StartFade(std::int32_t face, bool fromPresentLook) {
    faceState_ = face;
    fadeLevel_ = 0;
    if (fromPresentLook && width_ > 0) KeepPicture();
    // The fade timer runs only while there is something to fade: a settled
    // button costs nothing.
    if (hwnd() && !timerRunning_) timerRunning_ = ::SetTimer(hwnd(), kTimerPaint, kTimerPaintMs, nullptr) != 0;
}

void ShadeButton::OnTick() {
    const shade::FadeTick tick = shade::AdvanceFade(faceState_, fadeLevel_, speed_);
    if (!tick.draw) {
        ::KillTimer(hwnd(), kTimerPaint);
        timerRunning_ = false;
        return;
    }
    switch (tick.caption) {
    case shade::CaptionColour::Fore: captionColour_ = foreColor_; break;
    case shade::CaptionColour::Hot: captionColour_ = hotColor_; break;
    case shade::CaptionColour::Pressed: captionColour_ = pressedColor_; break;
    }
    BlendFace(tick.face, tick.alpha);
    if (tick.settle) KeepPicture();
}

COLORREF ShadeButton::CaptionColour() const {
    return ::IsWindowEnabled(hwnd()) ? captionColour_ : ::GetSysColor(COLOR_GRAYTEXT);
}

void ShadeButton::Paint(HDC dc) {
    RECT rc;
    ::GetClientRect(hwnd(), &rc);
    // Drawn off-screen first: the caption on a fading face never flickers.
    HDC screen = ::GetDC(nullptr);
    win32::UniqueMemoryDc memory(::CreateCompatibleDC(screen));
    win32::UniqueBitmap canvas(
        ::CreateCompatibleBitmap(screen, std::max<int>(rc.right, 1), std::max<int>(rc.bottom, 1)));
    ::ReleaseDC(nullptr, screen);
    if (!memory || !canvas) return;
    win32::ScopedSelect selectCanvas(memory.get(), canvas.get());
    ::BitBlt(memory.get(), 0, 0, rc.right, rc.bottom, currentContext_.get(), 0, 0, SRCCOPY);

    auto font = reinterpret_cast<HFONT>(::SendMessageW(::GetParent(hwnd()), WM_GETFONT, 0, 0));
    win32::ScopedSelect selectFont(memory.get(),
                                   font ? static_cast<HGDIOBJ>(font) : ::GetStockObject(DEFAULT_GUI_FONT));
    ::SetBkMode(memory.get(), TRANSPARENT);
    ::SetTextColor(memory.get(), CaptionColour());
    const std::wstring text = Caption();
    RECT textRect = rc;
    ::DrawTextW(memory.get(), text.c_str(), static_cast<int>(text.size()), &textRect,
                DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    if (::GetFocus() == hwnd()) {
        RECT cue = rc;
        ::InflateRect(&cue, -3, -3);
        ::SetTextColor(memory.get(), RGB(0, 0, 0));
        ::SetBkColor(memory.get(), RGB(255, 255, 255));
        ::DrawFocusRect(memory.get(), &cue);
    }
    ::BitBlt(dc, 0, 0, rc.right, rc.bottom, memory.get(), 0, 0, SRCCOPY);
}

void ShadeButton::OnMouse(UINT msg, WPARAM wParam, LPARAM lParam) {
    short button = 0;
    short shift = static_cast<short>(win32::ShiftState());
    float x = static_cast<float>(GET_X_LPARAM(lParam));
    float y = static_cast<float>(GET_Y_LPARAM(lParam));
    switch (msg) {
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN: {
        button = ButtonOf(msg);
        if (button == 1) {
            pressedByMouse_ = true;
            ::SetFocus(hwnd());
            ::SetCapture(hwnd());
        }
        const shade::MouseOutcome out = mouse_.Down(button, x, y);
        if (!Raise(events.MouseDown, button, shift, x, y)) return;
        if (out.fadeTo) StartFade(*out.fadeTo, true);
        return;
    }
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_MBUTTONUP: {
        button = ButtonOf(msg);
        const bool wasPressed = button == 1 && pressedByMouse_;
        if (button == 1) pressedByMouse_ = false;
        RECT rc;
        ::GetClientRect(hwnd(), &rc);
        const POINT at{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        const bool inside = ::PtInRect(&rc, at) != FALSE;
        const shade::MouseOutcome out = mouse_.Up();
        if (!inside && ::GetCapture() == hwnd()) ::ReleaseCapture();
        if (!Raise(events.MouseUp, button, shift, x, y)) return;
        if (out.fadeTo) StartFade(*out.fadeTo, true);
        if (wasPressed && inside) Raise(events.Click);
        return;
    }
    case WM_MOUSEMOVE: {
        if (wParam & MK_LBUTTON) button |= 1;
        if (wParam & MK_RBUTTON) button |= 2;
        if (wParam & MK_MBUTTON) button |= 4;
        const shade::MouseOutcome out =
            mouse_.Move(button != 0, x, y, static_cast<float>(width_), static_cast<float>(height_), isDefault_);
        if (!out.raise) return;
        if (out.capture && ::GetCapture() != hwnd()) ::SetCapture(hwnd());
        if (out.releaseCapture && ::GetCapture() == hwnd()) ::ReleaseCapture();
        const bool alive = out.inside ? Raise(events.MouseMove, button, shift, x, y) : Raise(events.MouseOut);
        if (!alive) return;
        if (out.fadeTo) StartFade(*out.fadeTo, true);
        return;
    }
    default: return;
    }
}

LRESULT ShadeButton::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_CREATE: StartFade(faceState_, false); return 0;
    case WM_SIZE: BuildFaces(); return 0;
    case WM_SETTEXT: {
        const LRESULT result = DefaultProc(msg, wParam, lParam);
        BuildFaces();
        return result;
    }
    case WM_TIMER:
        if (wParam == kTimerPaint) OnTick();
        return 0;
    case WM_ERASEBKGND:
    case WM_PAINT:
    case WM_PRINTCLIENT: return PaintMessage(msg, wParam, [this](HDC dc) { Paint(dc); });
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
    case WM_ENABLE:
        if (msg == WM_KILLFOCUS && pressedByKey_) {
            pressedByKey_ = false;
            StartFade(isDefault_ ? shade::kDefault : shade::kNormal, true);
        }
        ::InvalidateRect(hwnd(), nullptr, FALSE);
        return 0;
    case WM_GETDLGCODE: {
        LRESULT code = DLGC_BUTTON | (isDefault_ ? DLGC_DEFPUSHBUTTON : DLGC_UNDEFPUSHBUTTON);
        // Enter on a focused button is that button's click, not the
        // host's default button.
        const auto* keyMsg = reinterpret_cast<const MSG*>(lParam);
        if (keyMsg && keyMsg->message == WM_KEYDOWN && keyMsg->wParam == VK_RETURN) code |= DLGC_WANTMESSAGE;
        return code;
    }
    case WM_KEYDOWN:
        if (wParam == VK_RETURN) {
            PerformClick();
            return 0;
        }
        if (wParam == VK_SPACE && ::IsWindowEnabled(hwnd()) && !pressedByKey_ && !(lParam & (1 << 30))) {
            pressedByKey_ = true;
            StartFade(shade::kPressed, true);
        }
        return 0;
    case WM_KEYUP:
        if (wParam == VK_SPACE && pressedByKey_) {
            pressedByKey_ = false;
            StartFade(isDefault_ ? shade::kDefault : shade::kNormal, true);
            Raise(events.Click);
        }
        return 0;
    case BM_CLICK: PerformClick(); return 0;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_MBUTTONUP:
    case WM_MOUSEMOVE:
        // A disabled window gets no input; posted messages are no exception.
        if (::IsWindowEnabled(hwnd())) OnMouse(msg, wParam, lParam);
        return 0;
    case WM_CAPTURECHANGED: pressedByMouse_ = pressedByMouse_ && reinterpret_cast<HWND>(lParam) == hwnd(); return 0;
    case WM_DESTROY:
        ::KillTimer(hwnd(), kTimerPaint);
        timerRunning_ = false;
        break;
    default: break;
    }
    return DefaultProc(msg, wParam, lParam);
}

}  // namespace varnu
