// Reads and closes the message boxes that a plug-in shows on this thread.
// A host that runs where no one can click (a script, CI) uses it so that a
// plug-in's error box never hangs it; the tests use it to check each box.
// It installs a WH_CBT hook for the calling thread while it lives.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

struct SeenMessageBox {
    std::wstring title;
    std::wstring text;
    UINT buttonValue;  // MB_OK plus the icon it shows: 0, or 48 with the exclamation icon
};

class MessageBoxWatch {
public:
    // `onBox` runs for each box before it is closed with OK.
    explicit MessageBoxWatch(std::function<void(const SeenMessageBox&)> onBox = {});
    ~MessageBoxWatch();
    MessageBoxWatch(const MessageBoxWatch&) = delete;
    MessageBoxWatch& operator=(const MessageBoxWatch&) = delete;

    const std::vector<SeenMessageBox>& seen() const { return seen_; }
    void clear() { seen_.clear(); }

private:
    static LRESULT CALLBACK Hook(int code, WPARAM wParam, LPARAM lParam);
    void OnActivate(HWND window);

    HHOOK hook_ = nullptr;
    MessageBoxWatch* previous_ = nullptr;
    std::function<void(const SeenMessageBox&)> onBox_;
    std::vector<SeenMessageBox> seen_;
};
