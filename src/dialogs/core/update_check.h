#pragma once
// The update check without a network or a window: what the fetched update
// page says, whether it names a newer version, which address may be opened,
// and what the user is told for every outcome.
#include <optional>
#include <string>
#include <string_view>

namespace varnu::update {

// A version as major * 10 + minor: the page's form allows one digit each.
using Tenths = int;

// The page's title, "version X.Y" (eight characters, then a digit, a point
// and a digit); blanks around the whole title are forgiven.
std::optional<Tenths> ParseVersionTitle(std::wstring_view title);

// "v" is not included: 17 gives "1.7", 20 gives "2".
std::wstring ShortestForm(Tenths version);

// The parts of an HTML page the check reads: the <title> text and the text
// of the <body> with its tags left out and common entities decoded.
struct PageText {
    std::wstring title;
    std::wstring body;
};
PageText ReadPage(std::wstring_view html);

// The body's address, when it is a single absolute http or https address
// that may be handed to the shell: at most kMaxAddress characters of
// printable ASCII without blanks, quotes or angle brackets, with a host and
// no user name. Blanks around it are forgiven.
inline constexpr size_t kMaxAddress = 2048;
std::optional<std::wstring> SafeWebAddress(std::wstring_view body);

// How a fetch ended.
enum class FetchStatus { Ok, Timeout, NoConnection, BadAddress };
struct FetchResult {
    FetchStatus status = FetchStatus::NoConnection;
    int httpStatus = 0;  // when status is Ok
    std::wstring page;   // the page as text, when status is Ok
};

enum class AnswerKind {
    UpToDate,   // information
    AskToOpen,  // question; `address` is the page to open on Yes
    Failed,     // error: the check did not work, `text` says why
};
struct Answer {
    AnswerKind kind = AnswerKind::Failed;
    std::wstring text;
    std::wstring address;
};

inline constexpr wchar_t kAnswerTitle[] = L"版本更新";
inline constexpr wchar_t kUpToDateText[] = L"当前已经是最新版本。";

// The answer to a finished fetch for the running version.
Answer DecideAnswer(const FetchResult& fetch, Tenths running);

}  // namespace varnu::update
