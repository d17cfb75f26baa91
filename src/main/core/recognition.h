#pragma once
// Recognition of the messengers' conversation windows from the facts a window
// shows from outside: class name, title, style bits and one child window.
// Nothing here touches a window; the caller reads the facts and acts on the
// result (TakeWin on a match).
#include <cstdint>
#include <string>
#include <string_view>

namespace varnu {

inline constexpr wchar_t kClassClassic[] = L"#32770";
inline constexpr wchar_t kClassQQ2009[] = L"TXGuiFoundation";
inline constexpr wchar_t kClassBaiduHi[] = L"BaseGui";

inline constexpr std::uint32_t kStyleVisible = 0x10000000;  // WS_VISIBLE
// The exact style pair of a QQ2009 conversation (GWL_STYLE, GWL_EXSTYLE).
inline constexpr std::uint32_t kQQ2009ChatStyle = 0x960F0000;
inline constexpr std::uint32_t kQQ2009ChatExStyle = 0x300;

// Window-kind codes, stored in clsLink::version.
inline constexpr std::int32_t kKindRichEdit = 0;          // classic, "RICHEDIT" input box
inline constexpr std::int32_t kKindClassicUnsettled = 2;  // TakeWin settles it to 3 or 4
inline constexpr std::int32_t kKindClassicDialog = 3;     // classic with a child "#32770"
inline constexpr std::int32_t kKindClassic = 4;
inline constexpr std::int32_t kKindQQ2009 = 5;
inline constexpr std::int32_t kKindBaiduHi = 6;

// The two callers use different kind codes for the same classic titles, and
// only the start-up scan knows the "- 正在输入" rule.
enum class RecognitionCaller { CheckNewWindow, ScanWindows };

enum class RecognitionOutcome {
    NotTaken,
    Taken,
    Failed,  // the title matched a rule but its tab text could not be cut out
};

struct Recognition {
    RecognitionOutcome outcome = RecognitionOutcome::NotTaken;
    std::wstring tabText;   // Taken: the text for the tab (clsLink::Title)
    bool isGroup = false;   // Taken: a group conversation
    std::int32_t code = 0;  // Taken: window-kind code
    int rule = 0;           // classic rule that matched (1..11; 51 for "5a"), 0 otherwise
    std::wstring error;     // Failed: a description for the error report

    bool taken() const noexcept { return outcome == RecognitionOutcome::Taken; }
    bool failed() const noexcept { return outcome == RecognitionOutcome::Failed; }
};

// Facts about one top-level window, as read by the caller.
struct WindowFacts {
    std::wstring className;
    std::wstring title;
    std::uint32_t style = 0;    // GWL_STYLE
    std::uint32_t exStyle = 0;  // GWL_EXSTYLE
    // A "MacromediaFlashPlayerActiveX" inside the first "Static" child.
    // Only looked at for kClassQQ2009.
    bool hasFlashChild = false;
};

// The classic "#32770" title rules, first match wins.
Recognition MatchClassicRules(std::wstring_view title, RecognitionCaller caller);

// The "BaseGui" rule: whole title, kind 6, when visible and not one of the
// program's own non-conversation windows.
Recognition MatchBaiduHiRule(std::wstring_view title, std::uint32_t style);

// The "TXGuiFoundation" rules: the Flash child test, then the exact style pair.
Recognition MatchQQ2009Rules(std::wstring_view title, std::uint32_t style, std::uint32_t exStyle, bool hasFlashChild);

// Picks the rule set by class name; any other class is not taken.
Recognition RecognizeWindow(const WindowFacts& facts, RecognitionCaller caller);

}  // namespace varnu
