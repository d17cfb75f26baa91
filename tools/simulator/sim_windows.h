#pragma once
// The simulator's windows: messenger look-alikes built from the same classes,
// styles and child layouts as the real conversation windows, plus the record
// of what they received. Everything runs on the simulator's one UI thread.
#include <windows.h>

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "sim_protocol.h"

namespace sim {

struct OpenSpec {
    Kind kind = Kind::Classic;
    Input input = Input::Default;
    uint32_t options = 0;
    DWORD style = 0;    // with Option::kExactStyle
    DWORD exStyle = 0;  // with Option::kExactStyle
    RECT rect{};        // outer rectangle; empty = cascaded default placement
    HWND owner = nullptr;
    std::wstring title;
};

class Windows {
public:
    // Loads the rich-edit libraries and registers the look-alike classes.
    // `notify` is the control window, which gets posted housekeeping work.
    bool Initialise(HWND notify);

    // nullptr on failure; `reply` is filled with the handles made.
    HWND Open(const OpenSpec& spec, OpenReply& reply);

    bool AppendHistory(HWND window, std::wstring_view text);
    bool ClearHistory(HWND window);
    bool SetInputText(HWND window, std::wstring_view text);
    bool Focus(HWND window);
    bool SetTitle(HWND window, std::wstring_view title);
    bool Show(HWND window, int command);
    bool Close(HWND window);
    bool Destroy(HWND window);
    bool SetCloseDestroys(HWND window, bool destroys);
    bool SetStyle(HWND window, DWORD style, DWORD exStyle);

    // Called by the message loop for every message taken from the queue.
    void NoteQueued(const MSG& msg);
    std::vector<Record> Records(HWND window) const;
    void ClearRecords(HWND window);
    std::uint64_t Count(sim::Traffic what) const;

    // Posted back to the control window when an owner made for an owned
    // window can go (it cannot be destroyed from inside the owned window's
    // own destruction).
    static constexpr UINT kDestroyLater = WM_APP + 2;

private:
    struct Sim {
        HWND top = nullptr;
        Kind kind = Kind::Classic;
        bool closeDestroys = true;
        bool ownOwner = false;
        OpenReply parts{};
    };

    static LRESULT CALLBACK SubclassProcW(HWND, UINT, WPARAM, LPARAM) noexcept;
    static LRESULT CALLBACK SubclassProcA(HWND, UINT, WPARAM, LPARAM) noexcept;
    LRESULT Handle(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, bool ansi);
    void Subclass(HWND hwnd, HWND top, bool ansi);
    LRESULT AnsiText(HWND hwnd, WNDPROC old, UINT msg, WPARAM wParam, LPARAM lParam);
    LRESULT WideText(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    void Record(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, Via via);
    Sim* Find(HWND window);  // by top-level window or any part of one
    HWND HistoryOf(HWND window);
    void Layout(Sim& sim);
    void PaintSkin(HWND hwnd, const Sim& sim);
    HWND MakeChild(const wchar_t* cls, const wchar_t* text, DWORD style, HWND parent, int id, HWND top, bool ansi,
                   bool wideText = false);
    void BuildConversation(Sim& sim, HWND parent, Input input, bool history);
    void Send(Sim& sim);

    HWND notify_ = nullptr;
    HFONT font_ = nullptr;
    HFONT titleFont_ = nullptr;
    int opened_ = 0;
    std::map<HWND, std::unique_ptr<Sim>> sims_;  // by top-level window
    std::map<HWND, HWND> topOf_;                 // every simulated window -> its top
    std::map<HWND, WNDPROC> previous_;           // subclassed window -> former procedure
    // ANSI form of each rich edit's text, kept until the text changes: a real
    // messenger answers a length query without copying its whole history.
    std::map<HWND, std::string> ansiText_;
    std::map<HWND, std::wstring> wideText_;  // the histories' UTF-16 text, kept the same way
    std::vector<sim::Record> records_;
    uint32_t sequence_ = 0;
    std::uint64_t traffic_[3] = {};  // by sim::Traffic
};

Windows& TheWindows();

// Kind names used on the command line: classic, txgui, txgui-flash, basegui,
// other, mainpanel, preview.
bool ParseKind(std::wstring_view name, Kind& kind);

}  // namespace sim
