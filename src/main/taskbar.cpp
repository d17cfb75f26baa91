#include "main/taskbar.h"

#include <shobjidl.h>

#include <cstring>

namespace varnu {

namespace {

class TaskbarList final : public TaskbarShell {
public:
    ~TaskbarList() override {
        if (list_) list_->Release();
    }
    bool SetOverlayIcon(HWND window, HICON icon, const std::wstring& description) override {
        if (!tried_) {
            tried_ = true;
            // Our one user-interface thread; an earlier initialisation in
            // another mode still lets us make the object.
            ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
            if (SUCCEEDED(::CoCreateInstance(CLSID_TaskbarList, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskbarList3,
                                             reinterpret_cast<void**>(&list_))) &&
                list_ && FAILED(list_->HrInit())) {
                list_->Release();
                list_ = nullptr;
            }
        }
        return list_ && SUCCEEDED(list_->SetOverlayIcon(window, icon, description.c_str()));
    }

private:
    ITaskbarList3* list_ = nullptr;
    bool tried_ = false;
};

constexpr COLORREF kBadgeBack = RGB(214, 32, 32);
constexpr COLORREF kBadgeText = RGB(255, 255, 255);

HFONT BadgeFont(HDC dc, std::wstring_view text, int width, int height) {
    // The largest bold face whose text still fits inside the disc.
    for (int size = height - 2; size >= 6; --size) {
        LOGFONTW lf{};
        lf.lfHeight = -size;
        lf.lfWeight = FW_BOLD;
        lf.lfQuality = ANTIALIASED_QUALITY;
        std::wcscpy(lf.lfFaceName, L"Tahoma");
        HFONT font = ::CreateFontIndirectW(&lf);
        if (!font) return nullptr;
        SIZE extent{};
        {
            win32::ScopedSelect select(dc, font);
            ::GetTextExtentPoint32W(dc, text.data(), static_cast<int>(text.size()), &extent);
        }
        if (extent.cx <= width - 2 || size == 6) return font;
        ::DeleteObject(font);
    }
    return nullptr;
}

}  // namespace

TaskbarShell& SystemTaskbarShell() {
    static TaskbarList shell;
    return shell;
}

HICON DrawBadgeIcon(std::wstring_view text) {
    const int cx = ::GetSystemMetrics(SM_CXSMICON), cy = ::GetSystemMetrics(SM_CYSMICON);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = cx;
    info.bmiHeader.biHeight = -cy;  // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    win32::UniqueBitmap colour(::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    win32::UniqueBitmap mask(::CreateBitmap(cx, cy, 1, 1, nullptr));
    win32::UniqueMemoryDc dc(::CreateCompatibleDC(nullptr));
    if (!colour || !mask || !dc || !bits) return nullptr;
    auto* pixels = static_cast<DWORD*>(bits);
    std::memset(pixels, 0, static_cast<size_t>(cx) * static_cast<size_t>(cy) * 4);
    {
        win32::ScopedSelect useBitmap(dc.get(), colour.get());
        win32::UniqueBrush back(::CreateSolidBrush(kBadgeBack));
        win32::ScopedSelect useBrush(dc.get(), back.get());
        win32::ScopedSelect usePen(dc.get(), ::GetStockObject(NULL_PEN));
        ::Ellipse(dc.get(), 0, 0, cx + 1, cy + 1);
        win32::UniqueFont font(BadgeFont(dc.get(), text, cx, cy));
        win32::ScopedSelect useFont(dc.get(),
                                    font ? static_cast<HGDIOBJ>(font.get()) : ::GetStockObject(DEFAULT_GUI_FONT));
        ::SetBkMode(dc.get(), TRANSPARENT);
        ::SetTextColor(dc.get(), kBadgeText);
        RECT rc{0, 0, cx, cy};
        ::DrawTextW(dc.get(), text.data(), static_cast<int>(text.size()), &rc,
                    DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
        ::GdiFlush();
    }
    // GDI leaves alpha alone: what it drew on is the disc, the rest stays clear.
    for (int i = 0; i < cx * cy; ++i)
        if (pixels[i] & 0x00FFFFFF) pixels[i] |= 0xFF000000;
    ICONINFO icon{TRUE, 0, 0, mask.get(), colour.get()};
    return ::CreateIconIndirect(&icon);
}

void TaskbarBadge::ButtonCreated(HWND window) {
    window_ = window;
    state_.Forget();
    Apply();
}

void TaskbarBadge::Show(int total, bool hasButton) {
    total_ = total;
    hasButton_ = hasButton;
    if (window_) Apply();
}

void TaskbarBadge::Apply() {
    const std::optional<int> change = state_.Update(total_, hasButton_);
    if (!change) return;
    win32::UniqueIcon icon(*change > 0 ? DrawBadgeIcon(BadgeText(*change)) : nullptr);
    const std::wstring description = *change > 0 ? std::to_wstring(*change) + L"条未读" : std::wstring();
    shell_->SetOverlayIcon(window_, icon.get(), description);
    icon_ = std::move(icon);
}

bool IsTaskbarButtonCreatedMessage(UINT msg) {
    static const UINT created = ::RegisterWindowMessageW(L"TaskbarButtonCreated");
    return created != 0 && msg == created;
}

}  // namespace varnu
