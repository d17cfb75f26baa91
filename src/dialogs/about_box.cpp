#include "dialogs/about_box.h"

#include <objidl.h>
#include <shellapi.h>
#include <gdiplus.h>

#include <memory>
#include <string>

#include "controls/shadebutton/shade_button.h"
#include "dialogs/update_fetch.h"
#include "win32/handles.h"
#include "win32/messages.h"
#include "win32/modeless.h"
#include "win32/units.h"

namespace varnu {
namespace {

constexpr wchar_t kClassName[] = L"VarnuAboutBox";
constexpr DWORD kStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU;  // no minimise or maximise box
constexpr DWORD kExStyle = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT;
// Positions are given inside the picture box, which sits at (-300, -90).
constexpr int Px(int twips) { return twips / kTwipsPerPixel; }
constexpr int X(int twips) { return Px(twips - 300); }
constexpr int Y(int twips) { return Px(twips - 90); }

constexpr COLORREF kBackground = RGB(255, 255, 255);
constexpr COLORREF kLinkColour = 16756580;
constexpr COLORREF kLinkHotColour = 16763046;
constexpr UINT_PTR kTimerBackstop = 1;
constexpr int kPictureSize = 256;

constexpr wchar_t kSiteAddress[] = L"https://varnu.example/";
constexpr wchar_t kMailAddress[] = L"mailto:testers@varnu.example";
constexpr wchar_t kUpdateCaption[] = L"检查更新";
constexpr wchar_t kCheckingCaption[] = L"正在检查";

AddressOpener& Opener() {
    static AddressOpener opener;
    return opener;
}

void OpenAddress(HWND owner, const std::wstring& address) {
    if (Opener()) {
        Opener()(owner, address);
        return;
    }
    ::ShellExecuteW(owner, L"open", address.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

class frmAbout : public win32::ModelessWindow {
public:
    frmAbout(HWND main, std::wstring updatePage, ProgramVersion version)
        : main_(main), updatePage_(std::move(updatePage)), version_(version) {}

    bool Load();

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    HWND Make(const wchar_t* text, DWORD style, int x, int y, int cx, int cy, int id = 0, HFONT font = nullptr);
    void CreateChildren();
    void Paint(HDC dc);
    void SetLinkHot(HWND label);
    void btnUpdate_Click();
    void Finish(const update::FetchResult& fetch);

    HWND main_;
    std::wstring updatePage_;
    ProgramVersion version_;
    win32::UniqueFont font_, titleFont_;
    win32::UniqueBitmap picture_;  // drawn once at opening
    win32::UniqueBrush background_{::CreateSolidBrush(kBackground)};
    HWND lblURL_ = nullptr, lblMail_ = nullptr, hotLink_ = nullptr;
    ShadeButton btnUpdate, btnOK;
    std::shared_ptr<FetchSlot> slot_;  // the check being waited for, or none
};

win32::SingleInstance<frmAbout>& Instance() {
    static win32::SingleInstance<frmAbout> instance;
    return instance;
}

HWND frmAbout::Make(const wchar_t* text, DWORD style, int x, int y, int cx, int cy, int id, HFONT font) {
    HWND child =
        ::CreateWindowExW(0, L"Static", text, WS_CHILD | WS_VISIBLE | SS_NOPREFIX | style, x, y, cx, cy, hwnd(),
                          reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), ::GetModuleHandleW(nullptr), nullptr);
    if (child) ::SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(font ? font : font_.get()), FALSE);
    return child;
}

bool frmAbout::Load() {
    if (!CreateModeless(kClassName, L"关于 Varnu", kStyle, kExStyle, Px(8250), Px(3975), main_, nullptr)) return false;
    ::SetFocus(btnOK.hwnd());
    return true;
}

void frmAbout::CreateChildren() {
    font_.reset(win32::CreateDialogFont());
    titleFont_.reset(win32::CreateDialogFont(FW_BOLD));

    // The picture is drawn once into a bitmap of our own; painting only copies it.
    {
        win32::ScopedGetDc screen(nullptr);
        picture_.reset(::CreateCompatibleBitmap(screen.get(), kPictureSize, kPictureSize));
        win32::UniqueMemoryDc memory(::CreateCompatibleDC(screen.get()));
        if (picture_ && memory) {
            win32::ScopedSelect select(memory.get(), picture_.get());
            RECT all{0, 0, kPictureSize, kPictureSize};
            ::FillRect(memory.get(), &all, background_.get());
            if (!DrawAboutPicture(memory.get())) picture_.reset();
        }
    }

    Make(L"Varnu", SS_LEFT, X(3450), Y(300), Px(1080), 14, 0, titleFont_.get());
    const std::wstring versionText = L"版本 " + std::to_wstring(version_.major) + L"." +
                                     std::to_wstring(version_.minor) + L" build: " + std::to_wstring(version_.build);
    Make(versionText.c_str(), SS_LEFT, X(3450), Y(660), 220, 14);
    // One line as far as the box's edge: fonts standing in for 宋体 run wider.
    Make(L"支持QQ2008正式版/Beta1/祈福版/2008II Beta1/TM2007 Beta1", SS_LEFTNOWORDWRAP, X(3450), Y(1170),
         Px(8250) - X(3450) - 4, 14);
    lblURL_ = Make(L"由 Varnu 项目制作\r\nhttps://varnu.example/", SS_LEFT | SS_NOTIFY, X(3450), Y(1560), 160, 28,
                   idAboutURL);
    lblMail_ =
        Make(L"感谢所有测试者 (testers@varnu.example)", SS_LEFT | SS_NOTIFY, X(3450), Y(2160), 300, 14, idAboutMail);
    Make(L"警告: 本软件仅供个人学习交流之用途,请在使用后24小时内删除,谢谢.", SS_LEFT, X(3450), Y(2820), Px(4980), 28);

    btnUpdate.events.Click = [this] { btnUpdate_Click(); };
    btnUpdate.Create(hwnd(), X(5520), Y(3450), Px(1365), Px(495), idAboutUpdate, kUpdateCaption);
    btnOK.events.Click = [this] { Unload(); };
    btnOK.Create(hwnd(), X(7020), Y(3450), Px(1365), Px(495), idAboutOK, L"确定", true);
}

void frmAbout::Paint(HDC dc) {
    RECT client;
    ::GetClientRect(hwnd(), &client);
    ::FillRect(dc, &client, background_.get());
    if (picture_) {
        win32::UniqueMemoryDc memory(::CreateCompatibleDC(dc));
        win32::ScopedSelect select(memory.get(), picture_.get());
        ::BitBlt(dc, X(0), Y(0), kPictureSize, kPictureSize, memory.get(), 0, 0, SRCCOPY);
    }
    // The etched rule.
    win32::UniquePen grey(::CreatePen(PS_SOLID, 1, RGB(128, 128, 128)));
    win32::UniquePen white(::CreatePen(PS_SOLID, 1, RGB(255, 255, 255)));
    {
        win32::ScopedSelect select(dc, grey.get());
        ::MoveToEx(dc, X(3330), Y(2535), nullptr);
        ::LineTo(dc, X(9000), Y(2535));
    }
    win32::ScopedSelect select(dc, white.get());
    ::MoveToEx(dc, X(3345), Y(2550), nullptr);
    ::LineTo(dc, X(9000), Y(2550));
}

void frmAbout::SetLinkHot(HWND label) {
    if (hotLink_ == label) return;
    HWND previous = hotLink_;
    hotLink_ = label;
    for (HWND link : {previous, label})
        if (link) ::InvalidateRect(link, nullptr, TRUE);
}

void frmAbout::btnUpdate_Click() {
    if (slot_) return;  // a check is running
    btnUpdate.SetEnabled(false);
    btnUpdate.SetCaption(kCheckingCaption);
    slot_ = std::make_shared<FetchSlot>();
    const std::wstring agent = L"Varnu/" + std::to_wstring(version_.major) + L"." + std::to_wstring(version_.minor) +
                               L"." + std::to_wstring(version_.patch) + L"." + std::to_wstring(version_.build);
    StartFetch(slot_, updatePage_, agent, hwnd(), win32::WM_FETCHDONE);
    // Whatever the network does, the button comes back.
    ::SetTimer(hwnd(), kTimerBackstop, kUpdateTimeoutMs + 2000, nullptr);
}

void frmAbout::Finish(const update::FetchResult& fetch) {
    ::KillTimer(hwnd(), kTimerBackstop);
    slot_.reset();
    const update::Answer answer = update::DecideAnswer(fetch, version_.major * 10 + version_.minor);
    switch (answer.kind) {
    case update::AnswerKind::UpToDate:
        ::MessageBoxW(hwnd(), answer.text.c_str(), update::kAnswerTitle, MB_OK | MB_ICONINFORMATION);
        break;
    case update::AnswerKind::AskToOpen:
        if (::MessageBoxW(hwnd(), answer.text.c_str(), update::kAnswerTitle, MB_YESNO | MB_ICONINFORMATION) == IDYES)
            OpenAddress(main_, answer.address);
        break;
    case update::AnswerKind::Failed:
        ::MessageBoxW(hwnd(), answer.text.c_str(), update::kAnswerTitle, MB_OK | MB_ICONWARNING);
        break;
    }
    // The box may have been closed while the answer was shown.
    if (!hwnd()) return;
    btnUpdate.SetEnabled(true);
    btnUpdate.SetCaption(kUpdateCaption);
}

LRESULT frmAbout::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_CREATE: CreateChildren(); return 0;
    case WM_GETFONT: return reinterpret_cast<LRESULT>(font_.get());
    case WM_ERASEBKGND:
    case WM_PAINT: return PaintMessage(msg, wParam, [this](HDC dc) { Paint(dc); });
    case WM_CTLCOLORSTATIC: {
        auto dc = reinterpret_cast<HDC>(wParam);
        auto label = reinterpret_cast<HWND>(lParam);
        ::SetBkColor(dc, kBackground);
        if (label == lblURL_ || label == lblMail_)
            ::SetTextColor(dc, label == hotLink_ ? kLinkHotColour : kLinkColour);
        else
            ::SetTextColor(dc, RGB(0, 0, 0));
        return reinterpret_cast<LRESULT>(background_.get());
    }
    case WM_SETCURSOR: {
        auto over = reinterpret_cast<HWND>(wParam);
        if (over == lblURL_ || over == lblMail_) {
            SetLinkHot(over);
            ::SetCursor(::LoadCursorW(nullptr, IDC_HAND));
            return TRUE;
        }
        break;
    }
    case WM_MOUSEMOVE: SetLinkHot(nullptr); return 0;
    case WM_COMMAND: {
        const int id = LOWORD(wParam);
        if (id == idAboutOK || id == IDCANCEL)
            btnOK.PerformClick();
        else if (id == idAboutUpdate)
            btnUpdate.PerformClick();
        else if (id == idAboutURL && HIWORD(wParam) == STN_CLICKED)
            OpenAddress(hwnd(), kSiteAddress);
        else if (id == idAboutMail && HIWORD(wParam) == STN_CLICKED)
            OpenAddress(hwnd(), kMailAddress);
        return 0;
    }
    case win32::WM_FETCHDONE: {
        if (!slot_) return 0;  // a late answer to a check given up on
        std::optional<update::FetchResult> result;
        {
            std::lock_guard<std::mutex> hold(slot_->lock);
            result = std::move(slot_->result);
        }
        if (result) Finish(*result);
        return 0;
    }
    case WM_TIMER:
        if (wParam == kTimerBackstop && slot_) {
            update::FetchResult timedOut;
            timedOut.status = update::FetchStatus::Timeout;
            Finish(timedOut);
        }
        return 0;
    case WM_CLOSE: Unload(); return 0;
    case WM_DESTROY:
        ::KillTimer(hwnd(), kTimerBackstop);
        slot_.reset();
        LeaveModeless();
        return 0;
    default: break;
    }
    return DefaultProc(msg, wParam, lParam);
}

}  // namespace

bool DrawAboutPicture(HDC dc, int x, int y) {
    HRSRC info = ::FindResourceW(nullptr, L"ICON", L"ABOUT");
    HGLOBAL loaded = info ? ::LoadResource(nullptr, info) : nullptr;
    const void* bytes = loaded ? ::LockResource(loaded) : nullptr;
    const DWORD size = info ? ::SizeofResource(nullptr, info) : 0;
    if (!bytes || size == 0) return false;

    Gdiplus::GdiplusStartupInput input;
    ULONG_PTR token = 0;
    if (Gdiplus::GdiplusStartup(&token, &input, nullptr) != Gdiplus::Ok) {
        ::MessageBoxW(nullptr, L"没有找到GDI+库!gdip.dll", L"Varnu", MB_OK | MB_ICONERROR);
        return false;
    }
    bool drawn = false;
    // The stream owns a copy of the bytes: resource memory is read-only.
    HGLOBAL copy = ::GlobalAlloc(GMEM_MOVEABLE, size);
    if (void* target = copy ? ::GlobalLock(copy) : nullptr) {
        memcpy(target, bytes, size);
        ::GlobalUnlock(copy);
        IStream* stream = nullptr;
        if (SUCCEEDED(::CreateStreamOnHGlobal(copy, TRUE, &stream))) {
            copy = nullptr;  // the stream frees it
            Gdiplus::GpImage* image = nullptr;
            if (Gdiplus::DllExports::GdipLoadImageFromStream(stream, &image) == Gdiplus::Ok && image) {
                // Drawn in a 32-bit memory picture first, then copied as it stands.
                BITMAPINFO bmi{};
                bmi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
                bmi.bmiHeader.biWidth = kPictureSize;
                bmi.bmiHeader.biHeight = kPictureSize;
                bmi.bmiHeader.biPlanes = 1;
                bmi.bmiHeader.biBitCount = 32;
                bmi.bmiHeader.biSizeImage = kPictureSize * kPictureSize * 4;
                void* bits = nullptr;
                win32::UniqueMemoryDc memory(::CreateCompatibleDC(dc));
                win32::UniqueBitmap dib(::CreateDIBSection(dc, &bmi, DIB_RGB_COLORS, &bits, nullptr, 0));
                if (memory && dib) {
                    win32::ScopedSelect select(memory.get(), dib.get());
                    Gdiplus::GpGraphics* graphics = nullptr;
                    if (Gdiplus::DllExports::GdipCreateFromHDC(memory.get(), &graphics) == Gdiplus::Ok) {
                        drawn = Gdiplus::DllExports::GdipDrawImageRectI(graphics, image, 0, 0, kPictureSize,
                                                                        kPictureSize) == Gdiplus::Ok;
                        Gdiplus::DllExports::GdipDeleteGraphics(graphics);
                    }
                    if (drawn) ::BitBlt(dc, x, y, kPictureSize, kPictureSize, memory.get(), 0, 0, SRCCOPY);
                }
                Gdiplus::DllExports::GdipDisposeImage(image);
            }
            stream->Release();
        }
    }
    if (copy) ::GlobalFree(copy);
    Gdiplus::GdiplusShutdown(token);
    return drawn;
}

void ShowAboutBox(HWND main, std::wstring updatePage, ProgramVersion version) {
    Instance().Show(main, std::move(updatePage), version);
}

void CloseAboutBox() { Instance().Close(); }

HWND AboutBoxWindow() { return Instance().Window(); }

void SetAddressOpener(AddressOpener opener) { Opener() = std::move(opener); }

}  // namespace varnu
