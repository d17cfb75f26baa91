#pragma once
// The find box "查找会话": a small window over the tab strip in which the user
// types part of a conversation's name, or its pinyin initials, and picks the
// conversation from a list of the matches. It holds a standard edit box and a
// standard list control, so a screen reader reads both.
#include <windows.h>

#include <functional>
#include <vector>

#include "main/core/find_match.h"

namespace varnu {

// Opens the box owned by `owner`, centred over `stripOnScreen` (screen
// coordinates), with the keyboard focus in its edit box and `candidates`
// listed. Enter calls `chosen` with the tab of the selected match, then the
// box closes; Escape or activating any other window closes it without a
// call. While the box is open, a call hands it the fresh list and callback
// and brings it to the front, keeping what was typed (selected, so that
// typing replaces it). The owner's destruction takes the box with it.
void ShowFindBox(HWND owner, const RECT& stripOnScreen, std::vector<FindCandidate> candidates,
                 std::function<void(int tab)> chosen);
// Closes the box, if open, without calling back.
void CloseFindBox();
HWND FindBoxWindow();

// Control ids, for tests.
enum FindBoxControl : int { idFindQuery = 1301, idFindList };

}  // namespace varnu
