#include "dialogs/core/update_check.h"

#include <gtest/gtest.h>

namespace update = varnu::update;

TEST(UpdateTitle, OnlyVersionAndOneDigitEachSide) {
    EXPECT_EQ(update::ParseVersionTitle(L"version 1.7"), 17);
    EXPECT_EQ(update::ParseVersionTitle(L"  version 2.0\r\n"), 20);
    for (const wchar_t* bad : {L"", L"hello", L"version 1.7.1", L"version 10.1", L"version 1,7", L"Version 1.7",
                               L"version1.7", L"version  1.7", L"version a.b", L"xversion 1.7"})
        EXPECT_FALSE(update::ParseVersionTitle(bad)) << bad;
    EXPECT_EQ(update::ShortestForm(17), L"1.7");
    EXPECT_EQ(update::ShortestForm(20), L"2");
    EXPECT_EQ(update::ShortestForm(5), L"0.5");
}

TEST(UpdatePage, TitleAndBodyTextFromHtml) {
    const auto page = update::ReadPage(
        L"<HTML><head><Title> version 1.7 </Title><style>p{}</style></head>"
        L"<body bgcolor=white>\n<script>var "
        L"x='<b>';</script><p>https://varnu.example/get?a=1&amp;b=2</p>\n</BODY></html>");
    EXPECT_EQ(page.title, L"version 1.7");
    EXPECT_EQ(update::SafeWebAddress(page.body), L"https://varnu.example/get?a=1&b=2");
    EXPECT_EQ(update::ReadPage(L"no markup at all").body, L"no markup at all");
}

TEST(UpdateAddress, OnlyOneAbsoluteWebAddressIsEverOpened) {
    EXPECT_EQ(update::SafeWebAddress(L"\r\n http://varnu.example/download \n"), L"http://varnu.example/download");
    EXPECT_TRUE(update::SafeWebAddress(L"HTTPS://varnu.example:8443/x#y"));
    const std::wstring hostile[] = {
        L"C:\\Windows\\System32\\calc.exe",
        L"calc.exe",
        L"file:///C:/Windows/System32/calc.exe",
        L"cmd /c calc",
        L"javascript:alert(1)",
        L"http://varnu.example/a b",
        L"http://varnu.example/\"&calc",
        L"http://varnu.example/\tx",
        L"http://varnu.example/\x0001",
        L"http://varnu.example/下载",
        L"http://varnu.example/ http://evil.example/",
        L"http://user@evil.example/",
        L"http:///path",
        L"http://",
        L"\\\\server\\share\\setup.exe",
        L"ftp://varnu.example/",
        L"http://varnu.example/" + std::wstring(update::kMaxAddress, L'a'),
    };
    for (const std::wstring& body : hostile) EXPECT_FALSE(update::SafeWebAddress(body)) << body;
}

TEST(UpdateAnswer, EveryOutcomeSaysWhatHappened) {
    const auto answer = [](update::FetchStatus status, int http, const std::wstring& page) {
        update::FetchResult fetch;
        fetch.status = status;
        fetch.httpStatus = http;
        fetch.page = page;
        return update::DecideAnswer(fetch, 15);
    };
    const auto ok = update::FetchStatus::Ok;
    auto a = answer(ok, 200, L"<title>version 1.7</title><body>https://varnu.example/</body>");
    EXPECT_EQ(a.kind, update::AnswerKind::AskToOpen);
    EXPECT_EQ(a.text, L"发现了新版本v1.7，是否查看？");
    EXPECT_EQ(a.address, L"https://varnu.example/");
    EXPECT_EQ(answer(ok, 200, L"<title>version 2.0</title><body>https://varnu.example/</body>").text,
              L"发现了新版本v2，是否查看？");
    for (const wchar_t* same : {L"<title>version 1.5</title>", L"<title>version 1.4</title>"})
        EXPECT_EQ(answer(ok, 200, same).kind, update::AnswerKind::UpToDate);

    // Failures are never reported as "up to date".
    const update::Answer failures[] = {
        answer(ok, 404, L"<title>version 1.7</title>"),
        answer(ok, 200, L"<title>hello</title>"),
        answer(ok, 200, L"<title>version 1.7</title><body>C:\\Windows\\System32\\calc.exe</body>"),
        answer(update::FetchStatus::Timeout, 0, L""),
        answer(update::FetchStatus::NoConnection, 0, L""),
        answer(update::FetchStatus::BadAddress, 0, L""),
    };
    for (const auto& f : failures) {
        EXPECT_EQ(f.kind, update::AnswerKind::Failed) << f.text;
        EXPECT_TRUE(f.address.empty());
        EXPECT_NE(f.text, update::kUpToDateText);
    }
    EXPECT_NE(failures[0].text.find(L"404"), std::wstring::npos);
}
