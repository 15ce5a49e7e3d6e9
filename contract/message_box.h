// How a plug-in tells the user that Init or Grab failed: a modal message box
// with a single OK button, shown from inside the call. The call returns False
// once the user has closed it.
#pragma once

#include <windows.h>

#include <string>

enum class BoxIcon : UINT {
    None = 0,                        // button value 0
    Exclamation = MB_ICONEXCLAMATION  // button value 48: toolkit status messages
};

void ShowMessageBox(const std::wstring& text, const std::wstring& title, BoxIcon icon);

// The boxes of one card: "Error - <card>" for card, buffer and
// not-initialised failures, "Error" / "Unable to access <card> frame grabber"
// when the card library or its first function cannot be reached.
class CardMessages {
public:
    explicit CardMessages(const wchar_t* cardName) : cardName_(cardName) {}

    // Shows `text` under "Error - <card>" and returns false, for `return Fail(...)`.
    bool Fail(const std::wstring& text, BoxIcon icon = BoxIcon::None) const;
    // Shows "Unable to access <card> frame grabber" under "Error"; returns false.
    bool Unreachable() const;

private:
    const wchar_t* cardName_;
};
