#include "main/core/recognition.h"

#include <optional>

namespace varnu {
namespace {

// The title rules were written against 1-based Mid/Left/InStr, whose
// argument errors are what makes a too-short title fail. These keep exactly
// those semantics: a negative length or a start before position 1 is an
// error (no value); a start past the end gives an empty text.
std::optional<std::wstring> Mid(std::wstring_view s, long long start, long long length) {
    if (start < 1 || length < 0) return std::nullopt;
    const auto len = static_cast<long long>(s.size());
    if (start > len) return std::wstring();
    const long long from = start - 1;
    const long long count = length < len - from ? length : len - from;
    return std::wstring(s.substr(static_cast<std::size_t>(from), static_cast<std::size_t>(count)));
}

std::optional<std::wstring> MidToEnd(std::wstring_view s, long long start) {
    return Mid(s, start, static_cast<long long>(s.size()));
}

std::optional<std::wstring> Left(std::wstring_view s, long long length) { return Mid(s, 1, length); }

long long InStr(std::wstring_view s, std::wstring_view t) {
    const auto pos = s.find(t);
    return pos == std::wstring_view::npos ? 0 : static_cast<long long>(pos) + 1;
}

Recognition Taken(std::wstring text, bool isGroup, std::int32_t code, int rule = 0) {
    Recognition r;
    r.outcome = RecognitionOutcome::Taken;
    r.tabText = std::move(text);
    r.isGroup = isGroup;
    r.code = code;
    r.rule = rule;
    return r;
}

Recognition Cut(const std::optional<std::wstring>& text, bool isGroup, std::int32_t code, int rule) {
    if (text) return Taken(*text, isGroup, code, rule);
    Recognition r;
    r.outcome = RecognitionOutcome::Failed;
    r.rule = rule;
    r.error = L"Invalid procedure call or argument";
    return r;
}

}  // namespace

Recognition MatchClassicRules(std::wstring_view title, RecognitionCaller caller) {
    const bool scan = caller == RecognitionCaller::ScanWindows;
    // Windows whose kind the new-window path leaves for TakeWin to settle.
    const std::int32_t unsettled = scan ? kKindClassic : kKindClassicUnsettled;
    const long long len = static_cast<long long>(title.size());

    if (title.ends_with(L"交谈中")) {
        if (title.starts_with(L"与来自")) {
            const long long p = InStr(title, L"的 ");
            return Cut(Mid(title, p + 1, len - p - 3), false, kKindClassic, 1);
        }
        if (title.starts_with(L"临时会话")) return Cut(Mid(title, 10, len - 13), false, unsettled, 2);
        if (title.starts_with(L"与手机用户")) return Cut(Mid(title, 7, len - 10), false, unsettled, 3);
        return Cut(Mid(title, 3, len - 6), false, unsettled, 4);
    }
    if (title.starts_with(L"多人聊天 － ")) return Cut(MidToEnd(title, 7), false, kKindClassic, 5);
    if (scan && title.ends_with(L"- 正在输入")) return Cut(Left(title, len - 7), false, kKindClassic, 51);
    if (title.ends_with(L"会话中") && title.starts_with(L"与"))
        return Cut(Mid(title, 2, len - 4), false, kKindRichEdit, 6);
    if (title.ends_with(L"－ 群")) return Cut(Left(title, len - 4), true, unsettled, 7);
    if (title.ends_with(L"- 群")) return Cut(Left(title, len - 4), true, kKindRichEdit, 8);
    if (title.ends_with(L"－ 高级群")) return Cut(Left(title, len - 6), true, unsettled, 9);
    if (title.ends_with(L"－ 班级群")) return Cut(Left(title, len - 6), true, unsettled, 10);
    if (title.ends_with(L"－ 超级群")) return Cut(Left(title, InStr(title, L"(") - 1), true, unsettled, 11);
    return {};
}

Recognition MatchBaiduHiRule(std::wstring_view title, std::uint32_t style) {
    if (title.starts_with(L"Baidu Hi - ") || title.starts_with(L"百度Hi") || title == L"BaiduBasement" ||
        title.empty() || (style & kStyleVisible) == 0)
        return {};
    return Taken(std::wstring(title), false, kKindBaiduHi);
}

Recognition MatchQQ2009Rules(std::wstring_view title, std::uint32_t style, std::uint32_t exStyle, bool hasFlashChild) {
    if (!title.empty() && hasFlashChild && (style & kStyleVisible) != 0)
        return Taken(std::wstring(title), false, kKindQQ2009);
    if (exStyle == kQQ2009ChatExStyle && style == kQQ2009ChatStyle && title != L"QQ2009 Preview" &&
        title != L"消息管理器")
        return Taken(std::wstring(title), true, kKindQQ2009);
    return {};
}

Recognition RecognizeWindow(const WindowFacts& facts, RecognitionCaller caller) {
    if (facts.className == kClassClassic) return MatchClassicRules(facts.title, caller);
    if (facts.className == kClassBaiduHi) return MatchBaiduHiRule(facts.title, facts.style);
    if (facts.className == kClassQQ2009)
        return MatchQQ2009Rules(facts.title, facts.style, facts.exStyle, facts.hasFlashChild);
    return {};
}

}  // namespace varnu
