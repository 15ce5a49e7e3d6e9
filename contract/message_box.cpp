#include "message_box.h"

void ShowMessageBox(const std::wstring& text, const std::wstring& title, BoxIcon icon) {
    // Owned by the host's active window on this thread, if it has one, so
    // that the box is modal to the host.
    MessageBoxW(GetActiveWindow(), text.c_str(), title.c_str(), MB_OK | static_cast<UINT>(icon));
}

bool CardMessages::Fail(const std::wstring& text, BoxIcon icon) const {
    ShowMessageBox(text, std::wstring(L"Error - ") + cardName_, icon);
    return false;
}

bool CardMessages::Unreachable() const {
    ShowMessageBox(std::wstring(L"Unable to access ") + cardName_ + L" frame grabber", L"Error", BoxIcon::None);
    return false;
}
