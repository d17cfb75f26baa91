#include "main/core/new_message.h"

#include <algorithm>

namespace varnu {

std::wstring TabCaptionWithCount(std::int32_t msgNum, std::wstring_view title) {
    std::wstring caption = L"(" + std::to_wstring(msgNum) + L")";
    caption += title;
    return caption;
}

std::wstring NewMessageNotice(std::wstring_view title) {
    std::wstring notice(title);
    notice += L"的新消息";
    return notice;
}

std::wstring MeasuredHistory(std::wstring buffer) {
    if (const auto nul = buffer.find(L'\0'); nul != std::wstring::npos) buffer.resize(nul);
    buffer.push_back(L'\0');
    return buffer;
}

namespace {

// Last n characters, n clamped to 0..size: a history shorter than the count
// asked for gives all of it instead of an error.
std::wstring_view LastChars(std::wstring_view s, long long n) {
    const auto size = static_cast<long long>(s.size());
    n = std::clamp(n, 0LL, size);
    return s.substr(static_cast<std::size_t>(size - n));
}

}  // namespace

std::wstring BalloonExtract(std::wstring_view text, std::int32_t oldLength) {
    const long long d = static_cast<long long>(text.size()) - oldLength;
    std::wstring_view extract = LastChars(text, d >= 1 ? d - 1 : 40);
    // The history's terminating NUL would end the balloon text there anyway.
    while (!extract.empty() && extract.back() == L'\0') extract.remove_suffix(1);

    const auto k = extract.find(L"\r\n");
    if (k == std::wstring_view::npos) return std::wstring(extract);

    // The messenger puts pictures into the history as blanks; past the
    // header line every blank is shown as a picture marker.
    std::wstring out(extract.substr(0, k));
    for (wchar_t c : extract.substr(k)) {
        if (c == L' ')
            out += L"[图片]";
        else
            out += c;
    }
    return out;
}

bool ShouldReadHistory(std::int32_t lastQueriedLength, std::int32_t queriedLength) noexcept {
    return lastQueriedLength == kNeverQueried || queriedLength != lastQueriedLength;
}

bool MaximizeBoxWanted(std::int32_t org_AutoSize) noexcept { return org_AutoSize != 1; }

MessageCheckActions DecideMessageCheck(const MessageCheckInput& in, const MessageSettings& s) {
    MessageCheckActions a;
    const auto length = static_cast<std::int32_t>(in.text.size());
    if (length == in.oldMsg) return a;

    a.changed = true;
    a.newMsg = length;

    const bool notSelected = in.i != in.CurIndex;
    if (notSelected) {
        a.markUnread = true;
        a.newMsgNum = in.MsgNum + 1;
        a.tabCaption = TabCaptionWithCount(a.newMsgNum, in.Title);
        a.highlight = !in.Quiet;
    }
    if (in.Quiet) return a;

    const std::wstring notice = NewMessageNotice(in.Title);

    if (s.tray_MsgTip != 0 && ((notSelected && s.tray_AlwaysShowTip != 0) || !in.MainActive)) {
        a.showBalloon = true;
        a.balloonTitle = notice + L":";
        a.balloonText = BalloonExtract(in.text, in.oldMsg);
    }

    if (!in.MainActive) {
        a.announce = true;
        a.notice = notice;
        a.maximizeBox = MaximizeBoxWanted(s.org_AutoSize);
        a.selectTab = s.org_AutoSwitch != 0;
        a.tabIndex = in.i - 1;
        a.flash = true;
    }
    return a;
}

}  // namespace varnu
