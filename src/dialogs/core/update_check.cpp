#include "dialogs/core/update_check.h"

#include <cwctype>

namespace varnu::update {
namespace {

constexpr std::wstring_view kTitlePrefix = L"version ";

std::wstring_view Trim(std::wstring_view text) {
    const auto blank = [](wchar_t ch) { return ch == L' ' || ch == L'\t' || ch == L'\r' || ch == L'\n' || ch == 0xA0; };
    while (!text.empty() && blank(text.front())) text.remove_prefix(1);
    while (!text.empty() && blank(text.back())) text.remove_suffix(1);
    return text;
}

wchar_t Lower(wchar_t ch) { return ch >= L'A' && ch <= L'Z' ? static_cast<wchar_t>(ch - L'A' + L'a') : ch; }

// Position of `needle` in `text` from `from` on, ignoring ASCII letter case.
size_t FindNoCase(std::wstring_view text, std::wstring_view needle, size_t from = 0) {
    if (needle.size() > text.size()) return std::wstring_view::npos;
    for (size_t i = from; i + needle.size() <= text.size(); ++i) {
        size_t k = 0;
        while (k < needle.size() && Lower(text[i + k]) == needle[k]) ++k;
        if (k == needle.size()) return i;
    }
    return std::wstring_view::npos;
}

// Text between <tag ...> and </tag>; empty when the tag is not there.
std::wstring_view Element(std::wstring_view html, std::wstring_view tag) {
    const size_t open = FindNoCase(html, L"<" + std::wstring(tag));
    if (open == std::wstring_view::npos) return {};
    const size_t start = html.find(L'>', open);
    if (start == std::wstring_view::npos) return {};
    size_t end = FindNoCase(html, L"</" + std::wstring(tag), start + 1);
    if (end == std::wstring_view::npos) end = html.size();
    return html.substr(start + 1, end - start - 1);
}

void AppendEntity(std::wstring& out, std::wstring_view entity) {
    if (entity == L"amp")
        out += L'&';
    else if (entity == L"lt")
        out += L'<';
    else if (entity == L"gt")
        out += L'>';
    else if (entity == L"quot")
        out += L'"';
    else if (entity == L"apos" || entity == L"#39")
        out += L'\'';
    else if (entity == L"nbsp")
        out += L' ';
    else
        out += L'&' + std::wstring(entity) + L';';  // left as it stands
}

// Tags out (script and style with their content), entities decoded.
std::wstring PlainText(std::wstring_view html) {
    std::wstring out;
    size_t i = 0;
    while (i < html.size()) {
        const wchar_t ch = html[i];
        if (ch == L'<') {
            for (std::wstring_view skipped : {L"script", L"style"}) {
                if (FindNoCase(html.substr(i + 1, skipped.size()), skipped) == 0) {
                    const size_t close = FindNoCase(html, L"</" + std::wstring(skipped), i + 1);
                    i = close == std::wstring_view::npos ? html.size() : close;
                    break;
                }
            }
            const size_t end = html.find(L'>', i);
            i = end == std::wstring_view::npos ? html.size() : end + 1;
            continue;
        }
        if (ch == L'&') {
            const size_t semi = html.find(L';', i);
            if (semi != std::wstring_view::npos && semi - i <= 8) {
                AppendEntity(out, html.substr(i + 1, semi - i - 1));
                i = semi + 1;
                continue;
            }
        }
        out += ch;
        ++i;
    }
    return out;
}

bool IsAllowedAddressChar(wchar_t ch) {
    if (ch <= 0x20 || ch >= 0x7F) return false;  // blanks, controls, anything beyond ASCII
    switch (ch) {
    case L'"':
    case L'<':
    case L'>':
    case L'\\':
    case L'^':
    case L'`':
    case L'{':
    case L'|':
    case L'}': return false;
    default: return true;
    }
}

std::wstring Failure(std::wstring_view why) { return L"检查更新失败：" + std::wstring(why); }

}  // namespace

std::optional<Tenths> ParseVersionTitle(std::wstring_view title) {
    title = Trim(title);
    if (title.size() != kTitlePrefix.size() + 3 || title.substr(0, kTitlePrefix.size()) != kTitlePrefix)
        return std::nullopt;
    const std::wstring_view number = title.substr(kTitlePrefix.size());
    const auto digit = [](wchar_t ch) { return ch >= L'0' && ch <= L'9'; };
    if (!digit(number[0]) || number[1] != L'.' || !digit(number[2])) return std::nullopt;
    return (number[0] - L'0') * 10 + (number[2] - L'0');
}

std::wstring ShortestForm(Tenths version) {
    const std::wstring whole = std::to_wstring(version / 10);
    return version % 10 == 0 ? whole : whole + L"." + std::to_wstring(version % 10);
}

PageText ReadPage(std::wstring_view html) {
    PageText page;
    page.title = std::wstring(Trim(PlainText(Element(html, L"title"))));
    std::wstring_view body = Element(html, L"body");
    if (body.empty() && FindNoCase(html, L"<body") == std::wstring_view::npos) {
        // No body element: a plain-text page is its own body.
        if (FindNoCase(html, L"<") == std::wstring_view::npos) body = html;
    }
    page.body = PlainText(body);
    return page;
}

std::optional<std::wstring> SafeWebAddress(std::wstring_view body) {
    const std::wstring_view address = Trim(body);
    if (address.empty() || address.size() > kMaxAddress) return std::nullopt;
    size_t schemeEnd = 0;
    if (FindNoCase(address, L"http://") == 0)
        schemeEnd = 7;
    else if (FindNoCase(address, L"https://") == 0)
        schemeEnd = 8;
    else
        return std::nullopt;
    for (wchar_t ch : address)
        if (!IsAllowedAddressChar(ch)) return std::nullopt;
    const size_t hostEnd = address.find_first_of(L"/?#", schemeEnd);
    const std::wstring_view authority =
        address.substr(schemeEnd, hostEnd == std::wstring_view::npos ? std::wstring_view::npos : hostEnd - schemeEnd);
    // A user name before "@" can make one host look like another.
    if (authority.empty() || authority.find(L'@') != std::wstring_view::npos || authority.front() == L':')
        return std::nullopt;
    return std::wstring(address);
}

Answer DecideAnswer(const FetchResult& fetch, Tenths running) {
    Answer answer;
    switch (fetch.status) {
    case FetchStatus::Timeout: answer.text = Failure(L"更新服务器在规定时间内没有应答。"); return answer;
    case FetchStatus::NoConnection: answer.text = Failure(L"无法连接到更新服务器。"); return answer;
    case FetchStatus::BadAddress: answer.text = Failure(L"更新页面的地址无效。"); return answer;
    case FetchStatus::Ok: break;
    }
    if (fetch.httpStatus != 200) {
        answer.text = Failure(L"更新页面无法打开（HTTP " + std::to_wstring(fetch.httpStatus) + L"）。");
        return answer;
    }
    const PageText page = ReadPage(fetch.page);
    const std::optional<Tenths> latest = ParseVersionTitle(page.title);
    if (!latest) {
        answer.text = Failure(L"无法识别更新页面的内容。");
        return answer;
    }
    if (*latest <= running) {
        answer.kind = AnswerKind::UpToDate;
        answer.text = kUpToDateText;
        return answer;
    }
    const std::optional<std::wstring> address = SafeWebAddress(page.body);
    if (!address) {
        answer.text =
            L"发现了新版本v" + ShortestForm(*latest) + L"，但无法识别更新页面给出的下载地址，未打开任何地址。";
        return answer;
    }
    answer.kind = AnswerKind::AskToOpen;
    answer.text = L"发现了新版本v" + ShortestForm(*latest) + L"，是否查看？";
    answer.address = *address;
    return answer;
}

}  // namespace varnu::update
