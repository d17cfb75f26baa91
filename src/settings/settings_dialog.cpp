#include "settings/settings_dialog.h"

#include <commctrl.h>
#include <commdlg.h>

#include <array>
#include <ctime>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "controls/shadebutton/shade_button.h"
#include "settings/core/hot_key_ids.h"
#include "settings/core/settings_form.h"
#include "settings/qq_location.h"
#include "win32/colour.h"
#include "win32/modeless.h"
#include "win32/subclass.h"
#include "win32/units.h"
#include "win32/winapi.h"

namespace varnu {
namespace {

namespace core = settings_core;

constexpr wchar_t kClassName[] = L"VarnuSettingsDialog";
constexpr DWORD kStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU;  // no minimise or maximise box
constexpr DWORD kExStyle = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT;
constexpr int Px(int twips) { return twips / kTwipsPerPixel; }
constexpr wchar_t kHotKeyConflict[] = L"热键冲突，您的热键将不会生效。";

std::wstring KeyName(std::int32_t virtualKey) {
    const UINT scan = ::MapVirtualKeyW(static_cast<UINT>(virtualKey), MAPVK_VK_TO_VSC);
    LONG lParam = static_cast<LONG>(scan << 16);
    if (core::IsExtendedKey(virtualKey)) lParam |= 1 << 24;
    wchar_t name[255] = {};
    ::GetKeyNameTextW(lParam, name, 255);
    return name;
}

// What a tab colour looks like now; a hand-edited top byte must not turn a
// plain colour into a palette reference.
COLORREF Shown(COLORREF colour) { return win32::ResolveColor(static_cast<std::int32_t>(colour)) & 0x00ffffff; }

class frmSet : public win32::ModelessWindow {
public:
    explicit frmSet(SettingsDialogHost host) : host_(std::move(host)) {}

    bool Load();

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    HWND Make(const wchar_t* cls, const wchar_t* text, DWORD style, int x, int y, int cx, int cy, int id = 0,
              DWORD exStyle = 0);
    void CreateChildren();
    void MakeGroup(const wchar_t* caption, int left, int top, int width, int height);
    void MakeButton(ShadeButton& button, int x, int y, int cx, int cy, int id, const wchar_t* caption,
                    std::function<void()> click, bool isDefault = false);
    HWND Item(int id) const { return ::GetDlgItem(hwnd(), id); }

    void ShowForm(const core::SettingsForm& form);
    core::SettingsForm ReadForm() const;
    void SetColour(int index, COLORREF colour);
    void UpdateDependents();
    void SetOption(int firstId, bool firstSelected);

    void btnOK_Click();
    void btnDefault_Click();
    void btnBrowse_Click();
    void btnSetColor_Click(int index);
    void txtTipTime_Change();
    void OnUnload();

    // The two edit boxes that take keys their own way, subclassed through the
    // subclassing service; each answers the messages it hooks itself.
    class BoxHook final : public ISubclass {
    public:
        using Handler = LRESULT (*)(HWND, UINT, WPARAM, LPARAM);
        BoxHook(Handler handler, std::initializer_list<UINT> messages) : handler_(handler), messages_(messages) {}
        void Hook(HWND box) {
            box_ = box;
            for (UINT msg : messages_) (void)HookMessage(this, box, msg);  // a refused hook only costs that message
        }
        void Unhook() noexcept {
            for (UINT msg : messages_) UnhookMessage(this, box_, msg);
        }
        std::int32_t MsgResponse() noexcept override { return 0; }
        void SetMsgResponse(std::int32_t) override {}
        LRESULT WindowProc(HWND hWnd, UINT iMsg, WPARAM wParam, LPARAM lParam) override {
            return handler_(hWnd, iMsg, wParam, lParam);
        }

    private:
        Handler handler_;
        std::vector<UINT> messages_;
        HWND box_ = nullptr;
    };
    static LRESULT HotKeyMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    static LRESULT TipTimeMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

    SettingsDialogHost host_;
    win32::UniqueFont font_;
    std::array<COLORREF, 3> colours_{};
    std::array<win32::UniqueBrush, 3> colourBrush_;
    ShadeButton btnOK, btnCancel, btnDefault, btnBrowse;
    std::array<ShadeButton, 3> btnSetColor;
    bool normalisingTipTime_ = false;
    BoxHook hotKeyHook_{
        &HotKeyMessage,
        {WM_KEYDOWN, WM_SYSKEYDOWN, WM_KEYUP, WM_SYSKEYUP, WM_CHAR, WM_SYSCHAR, WM_PASTE, WM_CUT, WM_CLEAR}};
    BoxHook tipTimeHook_{&TipTimeMessage, {WM_CHAR}};
};

win32::SingleInstance<frmSet>& Instance() {
    static win32::SingleInstance<frmSet> instance;
    return instance;
}

HWND frmSet::Make(const wchar_t* cls, const wchar_t* text, DWORD style, int x, int y, int cx, int cy, int id,
                  DWORD exStyle) {
    // A label ends the option group before it, so arrow keys stay inside a group.
    if (std::wstring_view(cls) == L"Static") style |= WS_GROUP;
    HWND child =
        ::CreateWindowExW(exStyle, cls, text, WS_CHILD | WS_VISIBLE | style, x, y, cx, cy, hwnd(),
                          reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), ::GetModuleHandleW(nullptr), nullptr);
    if (child) ::SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
    return child;
}

void frmSet::MakeGroup(const wchar_t* caption, int left, int top, int width, int height) {
    Make(L"Button", caption, BS_GROUPBOX | WS_GROUP, Px(left), Px(top), Px(width), Px(height));
}

void frmSet::MakeButton(ShadeButton& button, int x, int y, int cx, int cy, int id, const wchar_t* caption,
                        std::function<void()> click, bool isDefault) {
    button.events.Click = std::move(click);
    button.Create(hwnd(), x, y, cx, cy, id, caption, isDefault);
}

bool frmSet::Load() {
    if (!CreateModeless(kClassName, L"设置", kStyle, kExStyle, Px(8520), Px(6825), host_.main,
                        ::GetSysColorBrush(COLOR_BTNFACE)))
        return false;

    // Opening: every step on its own; one that fails leaves its controls
    // in their design state.
    const Settings& s = AppSettings();
    std::wstring hotText = core::kNoHotKey;
    try {
        hotText = GetIniValue(kSettingsSection, L"hot_Text", core::kNoHotKey);
    } catch (...) {
    }
    try {
        ShowForm(core::LoadForm(s, hotText));
    } catch (...) {
        ShowForm(core::DesignTimeForm());
    }
    // Pressing the present hot key while capturing must not trigger it.
    if (host_.main) ::UnregisterHotKey(host_.main, kHotKeyShowHide);
    if (HWND first = ::GetNextDlgTabItem(hwnd(), nullptr, FALSE)) ::SetFocus(first);
    return true;
}

void frmSet::CreateChildren() {
    font_.reset(win32::CreateDialogFont());

    const DWORD tab = WS_TABSTOP | WS_GROUP;
    const DWORD check = BS_AUTOCHECKBOX | tab;
    // "标签"
    MakeGroup(L"标签", 120, 120, 4125, 2805);
    const int l1 = Px(120) + 12, t1 = Px(120);
    Make(L"Static", L"标签位置:", SS_LEFT, l1, t1 + 22, 70, 16);
    Make(L"Button", L"上方", BS_AUTORADIOBUTTON | tab, l1 + 76, t1 + 20, 60, 18, idOptTabPos0);
    Make(L"Button", L"下方", BS_AUTORADIOBUTTON, l1 + 146, t1 + 20, 60, 18, idOptTabPos1);
    Make(L"Static", L"排列方式:", SS_LEFT, l1, t1 + 46, 70, 16);
    Make(L"Button", L"滚动", BS_AUTORADIOBUTTON | tab, l1 + 76, t1 + 44, 60, 18, idOptTabRoll0);
    Make(L"Button", L"多行", BS_AUTORADIOBUTTON, l1 + 146, t1 + 44, 60, 18, idOptTabRoll1);
    Make(L"Static", L"皮肤:", SS_LEFT, l1, t1 + 70, 70, 16);
    Make(L"Button", L"XP风格", BS_AUTORADIOBUTTON | tab, l1 + 76, t1 + 68, 66, 18, idOptTabSkin0);
    Make(L"Button", L"QQ风格", BS_AUTORADIOBUTTON, l1 + 146, t1 + 68, 66, 18, idOptTabSkin1);
    const wchar_t* swatch[3] = {L"选中", L"普通", L"高亮"};
    for (int i = 0; i < 3; ++i) {
        const int x = l1 + i * 86;
        Make(L"Static", swatch[i], SS_CENTER | SS_CENTERIMAGE | WS_BORDER, x, t1 + 98, 76, 40, idLblColor0 + i);
        MakeButton(btnSetColor[static_cast<size_t>(i)], x, t1 + 144, 76, 28, idBtnSetColor0 + i, L"选择颜色",
                   [this, i] { btnSetColor_Click(i); });
    }
    // "热键设置"
    MakeGroup(L"热键设置", 120, 3090, 4125, 915);
    const int t2 = Px(3090);
    Make(L"Button", L"启用热键", check, l1, t2 + 24, 84, 18, idChkHotKey);
    HWND hotKey = Make(L"Edit", L"无", ES_AUTOHSCROLL | tab, l1 + 92, t2 + 22, 160, 22, idTxtHotKey, WS_EX_CLIENTEDGE);
    hotKeyHook_.Hook(hotKey);
    // "托盘设置"
    MakeGroup(L"托盘设置", 4470, 120, 3945, 2355);
    const int l5 = Px(4470) + 12, t5 = Px(120);
    const std::pair<int, const wchar_t*> trayChecks[] = {
        {idChkTray, L"最小化到托盘"},
        {idChkCloseTray, L"关闭时最小化到托盘"},
        {idChkAutoMin, L"无QQ窗口时自动最小化到托盘"},
        {idChkShowTip, L"在后台检测到新消息时显示气泡提示"},
    };
    int row = t5 + 20;
    for (const auto& [id, text] : trayChecks) {
        Make(L"Button", text, check, l5, row, 240, 18, id);
        row += 20;
    }
    Make(L"Button", L"在前台时也显示气泡", check | WS_DISABLED, l5 + 18, row, 222, 18, idChkAlwaysShowTip);
    Make(L"Static", L"以下时间后关闭气泡：", SS_LEFT, l5, row + 30, 124, 16);
    HWND tipTime =
        Make(L"Edit", L"3", ES_AUTOHSCROLL | tab, l5 + 126, row + 27, 36, 22, idTxtTipTime, WS_EX_CLIENTEDGE);
    tipTimeHook_.Hook(tipTime);
    Make(L"Static", L"秒", SS_LEFT, l5 + 168, row + 30, 20, 16);
    // "其他设置"
    MakeGroup(L"其他设置", 4470, 2610, 3945, 1395);
    const int t3 = Px(2610);
    Make(L"Button", L"根据QQ窗口大小自动改变Varnu窗口大小", check, l5, t3 + 18, 244, 18, idChkAutoSize);
    Make(L"Button", L"退出程序时提示确认", check, l5, t3 + 42, 244, 18, idChkExitMsg);
    Make(L"Button", L"切换到Varnu时优先显示有新消息的窗口", check, l5, t3 + 66, 244, 18, idChkAutoSwitch);
    // "QQ路径设置"
    MakeGroup(L"QQ路径设置", 120, 4110, 8295, 1695);
    const int t4 = Px(4110);
    Make(L"Button", L"打开时如果发现QQ没有启动,则自动启动QQ.", check, l1, t4 + 22, 400, 18, idChkAutoRun);
    Make(L"Static", L"QQ路径:", SS_LEFT | WS_DISABLED, l1, t4 + 52, 66, 16, idLblPath);
    Make(L"Edit", L"", ES_AUTOHSCROLL | tab | WS_DISABLED, l1 + 70, t4 + 49, Px(5565), 22, idTxtPath, WS_EX_CLIENTEDGE);
    MakeButton(btnBrowse, l1 + 70 + Px(5565) + 8, t4 + 47, 80, 26, idBtnBrowse, L"浏览...",
               [this] { btnBrowse_Click(); });
    Make(L"Static", L"QQ文件名:", SS_LEFT | WS_DISABLED, l1, t4 + 82, 66, 16, idLblExeName);
    Make(L"Edit", L"QQ.exe", ES_AUTOHSCROLL | tab | WS_DISABLED, l1 + 70, t4 + 79, 160, 22, idTxtExeName,
         WS_EX_CLIENTEDGE);
    btnBrowse.SetEnabled(false);
    // The three buttons.
    MakeButton(
        btnOK, Px(3240), Px(6120), Px(1575), Px(465), idBtnOK, L"确定", [this] { btnOK_Click(); }, true);
    MakeButton(btnCancel, Px(5025), Px(6120), Px(1575), Px(465), idBtnCancel, L"取消", [this] { Unload(); });
    MakeButton(btnDefault, Px(6810), Px(6120), Px(1575), Px(465), idBtnDefault, L"恢复默认",
               [this] { btnDefault_Click(); });
}

void frmSet::SetOption(int firstId, bool firstSelected) {
    ::CheckRadioButton(hwnd(), firstId, firstId + 1, firstSelected ? firstId : firstId + 1);
}

void frmSet::SetColour(int index, COLORREF colour) {
    // The value is kept as stored, so a system colour is written back as one;
    // only the swatch shows what it stands for.
    colours_[static_cast<size_t>(index)] = colour;
    colourBrush_[static_cast<size_t>(index)].reset(::CreateSolidBrush(Shown(colour)));
    ::InvalidateRect(Item(idLblColor0 + index), nullptr, TRUE);
}

void frmSet::ShowForm(const core::SettingsForm& form) {
    for (int i = 0; i < 3; ++i) SetColour(i, static_cast<COLORREF>(form.colours[static_cast<size_t>(i)]));
    SetOption(idOptTabPos0, form.tabPosTop);
    SetOption(idOptTabRoll0, form.tabRollScroll);
    SetOption(idOptTabSkin0, form.tabSkinXp);
    for (int i = 0; i < core::kCheckBoxCount; ++i)
        ::CheckDlgButton(hwnd(), idChkTray + i, form.checks[static_cast<size_t>(i)] ? BST_CHECKED : BST_UNCHECKED);
    ::SetDlgItemTextW(hwnd(), idTxtTipTime, form.tipTime.c_str());
    ::SetDlgItemTextW(hwnd(), idTxtPath, form.qqPath.c_str());
    ::SetDlgItemTextW(hwnd(), idTxtExeName, form.exeName.c_str());
    ::SetDlgItemTextW(hwnd(), idTxtHotKey, form.hotKeyText.c_str());
    UpdateDependents();
}

core::SettingsForm frmSet::ReadForm() const {
    core::SettingsForm form;
    for (int i = 0; i < 3; ++i)
        form.colours[static_cast<size_t>(i)] = static_cast<std::int32_t>(colours_[static_cast<size_t>(i)]);
    form.tabPosTop = ::IsDlgButtonChecked(hwnd(), idOptTabPos0) == BST_CHECKED;
    form.tabRollScroll = ::IsDlgButtonChecked(hwnd(), idOptTabRoll0) == BST_CHECKED;
    form.tabSkinXp = ::IsDlgButtonChecked(hwnd(), idOptTabSkin0) == BST_CHECKED;
    for (int i = 0; i < core::kCheckBoxCount; ++i)
        form.checks[static_cast<size_t>(i)] = ::IsDlgButtonChecked(hwnd(), idChkTray + i) == BST_CHECKED ? 1 : 0;
    form.tipTime = win32::OwnControlText(Item(idTxtTipTime));
    form.qqPath = win32::OwnControlText(Item(idTxtPath));
    form.exeName = win32::OwnControlText(Item(idTxtExeName));
    form.hotKeyText = win32::OwnControlText(Item(idTxtHotKey));
    return form;
}

void frmSet::UpdateDependents() {
    const core::SettingsForm form = ReadForm();
    ::EnableWindow(Item(idChkAlwaysShowTip), core::DependentsEnabled(form, core::chkShowTip));
    ::EnableWindow(Item(idTxtHotKey), core::DependentsEnabled(form, core::chkHotKey));
    const bool autoRun = core::DependentsEnabled(form, core::chkAutoRun);
    for (int id : {idTxtPath, idLblPath, idLblExeName, idTxtExeName}) ::EnableWindow(Item(id), autoRun);
    if (btnBrowse.Enabled() != autoRun) btnBrowse.SetEnabled(autoRun);
}

void frmSet::btnOK_Click() {
    Settings& s = AppSettings();
    const core::SettingsForm form = ReadForm();
    core::StoreForm(form, s);
    if (host_.applyAtOnce) host_.applyAtOnce(s);
    for (const auto& [key, value] : core::KeysWrittenByOk(s)) SetIniValue(kSettingsSection, key, value);

    // A main window that follows the chat window's size cannot be maximised.
    if (host_.main) win32::SetMaximizeBox(host_.main, s.org_AutoSize != 1);
    if (form.hotKeyText != core::kNoHotKey) {
        if (!::RegisterHotKey(host_.main, kHotKeyShowHide, static_cast<UINT>(s.hot_Mod), static_cast<UINT>(s.hot_Key)))
            ::MessageBoxW(hwnd(), kHotKeyConflict, L"Varnu", MB_OK | MB_ICONERROR);
        SetIniValue(kSettingsSection, L"hot_Text", form.hotKeyText);
        SetIniValue(kSettingsSection, L"hot_Key", std::to_wstring(s.hot_Key));
        SetIniValue(kSettingsSection, L"hot_Mod", std::to_wstring(s.hot_Mod));
    }
    if (s.hot_Enabled != 1 && host_.main) ::UnregisterHotKey(host_.main, kHotKeyShowHide);
    if (host_.resize) host_.resize();
    Unload();
}

void frmSet::btnDefault_Click() { ShowForm(core::RestoreDefaults(ReadForm(), GetQQPath())); }

void frmSet::btnBrowse_Click() {
    const FolderChoice choice = BrowseForFolder(hwnd());
    if (!choice.Cancelled) ::SetDlgItemTextW(hwnd(), idTxtPath, choice.Path.c_str());
}

void frmSet::btnSetColor_Click(int index) {
    // Back to the normal face: the colour dialog takes the mouse away.
    btnSetColor[static_cast<size_t>(index)].SetEnabled(true);
    const ColorChoice choice = ShowColorDialog(hwnd(), Shown(colours_[static_cast<size_t>(index)]));
    if (!choice.Cancelled && hwnd()) SetColour(index, choice.Color);
}

void frmSet::txtTipTime_Change() {
    if (normalisingTipTime_) return;
    HWND box = Item(idTxtTipTime);
    const std::wstring text = win32::OwnControlText(box);
    const std::wstring normal = core::NormalTipTimeText(text);
    if (normal == text) return;
    normalisingTipTime_ = true;
    ::SetWindowTextW(box, normal.c_str());
    ::SendMessageW(box, EM_SETSEL, normal.size(), normal.size());
    normalisingTipTime_ = false;
}

void frmSet::OnUnload() {
    LeaveModeless();
    hotKeyHook_.Unhook();
    tipTimeHook_.Unhook();
    const Settings& s = AppSettings();
    // Key 0 names no key: nothing to register.
    if (s.hot_Enabled == 1 && s.hot_Key != 0 && host_.main)
        ::RegisterHotKey(host_.main, kHotKeyShowHide, static_cast<UINT>(s.hot_Mod), static_cast<UINT>(s.hot_Key));
}

// Every key is a capture; no text is typed, pasted or cut.
LRESULT frmSet::HotKeyMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM) {
    switch (msg) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN: {
        const auto key = static_cast<std::int32_t>(wParam);
        const core::HotKeyPrefix prefix = core::PrefixForShiftState(win32::ShiftState());
        Settings& s = AppSettings();
        s.hot_Mod = prefix.modifiers;
        std::wstring text(prefix.text);
        if (!core::IsModifierKey(key)) {
            text += KeyName(key);
            s.hot_Key = key;
        }
        ::SetWindowTextW(hwnd, text.c_str());
        ::SendMessageW(hwnd, EM_SETSEL, text.size(), text.size());
        break;
    }
    case WM_KEYUP:
    case WM_SYSKEYUP:
        if (core::IsPrefixOnly(win32::OwnControlText(hwnd))) {
            ::SetWindowTextW(hwnd, core::kNoHotKey);
            AppSettings().hot_Key = 0;
            AppSettings().hot_Mod = 0;
        }
        break;
    default: break;  // the box only shows what the capture made of the keys
    }
    return 0;
}

LRESULT frmSet::TipTimeMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_CHAR && !core::TipTimeCharAllowed(static_cast<wchar_t>(wParam))) {
        ::MessageBeep(MB_OK);
        return 0;
    }
    return CallPreviousProc(hwnd, msg, wParam, lParam);
}

LRESULT frmSet::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_CREATE: CreateChildren(); return 0;
    case WM_GETFONT: return reinterpret_cast<LRESULT>(font_.get());
    case WM_COMMAND: {
        const int id = LOWORD(wParam);
        const int code = HIWORD(wParam);
        if (id == idBtnOK)
            btnOK.PerformClick();
        else if (id == idBtnCancel)
            btnCancel.PerformClick();
        else if (id == idBtnDefault)
            btnDefault.PerformClick();
        else if (id == idBtnBrowse)
            btnBrowse.PerformClick();
        else if (id >= idBtnSetColor0 && id <= idBtnSetColor2)
            btnSetColor[static_cast<size_t>(id - idBtnSetColor0)].PerformClick();
        else if (id == idTxtTipTime && code == EN_CHANGE)
            txtTipTime_Change();
        else if (id >= idChkTray && id < idChkTray + int{core::kCheckBoxCount} && code == BN_CLICKED)
            UpdateDependents();
        return 0;
    }
    case WM_CTLCOLORSTATIC: {
        const int id = ::GetDlgCtrlID(reinterpret_cast<HWND>(lParam));
        if (id >= idLblColor0 && id <= idLblColor2) {
            const size_t i = static_cast<size_t>(id - idLblColor0);
            auto dc = reinterpret_cast<HDC>(wParam);
            ::SetBkColor(dc, Shown(colours_[i]));
            return reinterpret_cast<LRESULT>(colourBrush_[i].get());
        }
        break;
    }
    case WM_CLOSE: Unload(); return 0;
    case WM_DESTROY: OnUnload(); return 0;
    default: break;
    }
    return DefaultProc(msg, wParam, lParam);
}

}  // namespace

void ShowSettingsDialog(const SettingsDialogHost& host) { Instance().Show(host); }

void CloseSettingsDialog() { Instance().Close(); }

HWND SettingsDialogWindow() { return Instance().Window(); }

ColorChoice ShowColorDialog(HWND owner, COLORREF colour) {
    static std::array<COLORREF, 16> custom = [] {
        std::array<COLORREF, 16> table{};
        std::mt19937 random(static_cast<unsigned>(std::time(nullptr)));
        std::uniform_int_distribution<int> byte(0, 255);
        for (COLORREF& c : table)
            c = static_cast<COLORREF>(byte(random) | (byte(random) << 8) | (byte(random) << 16) | (byte(random) << 24));
        return table;
    }();
    CHOOSECOLORW cc{};
    cc.lStructSize = sizeof(cc);
    cc.hwndOwner = owner;
    cc.hInstance = reinterpret_cast<HWND>(::GetModuleHandleW(nullptr));
    cc.rgbResult = colour & 0x00ffffff;
    cc.lpCustColors = custom.data();
    cc.Flags = CC_RGBINIT | CC_FULLOPEN | CC_ANYCOLOR;
    ColorChoice choice;
    if (::ChooseColorW(&cc)) {
        choice.Color = cc.rgbResult;
        choice.Cancelled = false;
    }
    return choice;
}

}  // namespace varnu
