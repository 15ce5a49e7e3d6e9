#include "message_box_watch.h"

namespace {

// The watch of this thread (a hook procedure gets no context of its own).
thread_local MessageBoxWatch* t_current = nullptr;

std::wstring WindowText(HWND window) {
    if (!window) return {};
    const int length = GetWindowTextLengthW(window);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(window, text.data(), length + 1)));
    return text;
}

bool IsMessageBox(HWND window) {
    wchar_t className[16] = {};
    GetClassNameW(window, className, 16);
    return lstrcmpW(className, L"#32770") == 0;
}

// The icon a message box shows. Windows gives its icon control the ID 20,
// Wine 0x440. The box is not visible yet when it is activated.
UINT IconStyle(HWND box) {
    for (int id : {20, 0x440}) {
        HWND control = GetDlgItem(box, id);
        if (!control) continue;
        const HICON icon = reinterpret_cast<HICON>(SendMessageW(control, STM_GETICON, 0, 0));
        if (!icon) continue;
        if (icon == LoadIconW(nullptr, IDI_EXCLAMATION)) return MB_ICONEXCLAMATION;
        if (icon == LoadIconW(nullptr, IDI_HAND)) return MB_ICONHAND;
        if (icon == LoadIconW(nullptr, IDI_QUESTION)) return MB_ICONQUESTION;
        if (icon == LoadIconW(nullptr, IDI_ASTERISK)) return MB_ICONASTERISK;
        return 0xF0;  // an icon that is none of the standard four
    }
    return 0;
}

}  // namespace

MessageBoxWatch::MessageBoxWatch(std::function<void(const SeenMessageBox&)> onBox) : onBox_(std::move(onBox)) {
    previous_ = t_current;
    t_current = this;
    hook_ = SetWindowsHookExW(WH_CBT, &MessageBoxWatch::Hook, nullptr, GetCurrentThreadId());
}

MessageBoxWatch::~MessageBoxWatch() {
    if (hook_) UnhookWindowsHookEx(hook_);
    t_current = previous_;
}

LRESULT CALLBACK MessageBoxWatch::Hook(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_ACTIVATE && t_current) t_current->OnActivate(reinterpret_cast<HWND>(wParam));
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

void MessageBoxWatch::OnActivate(HWND window) {
    if (!IsMessageBox(window)) return;
    // Activation repeats when the box regains focus: note each box once.
    if (GetPropW(window, L"MessageBoxWatch.seen")) return;
    SetPropW(window, L"MessageBoxWatch.seen", reinterpret_cast<HANDLE>(1));
    SeenMessageBox box{WindowText(window), WindowText(GetDlgItem(window, 0xFFFF)), MB_OK | IconStyle(window)};
    seen_.push_back(box);
    if (onBox_) onBox_(box);
    PostMessageW(window, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
}
