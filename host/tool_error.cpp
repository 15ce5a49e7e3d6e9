#include "tool_error.h"

#include <cwchar>

std::wstring DescribeHresult(HRESULT hr) {
    wchar_t number[16];
    swprintf(number, 16, L"0x%08lX", static_cast<unsigned long>(hr));
    wchar_t* text = nullptr;
    const DWORD length = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                        nullptr, static_cast<DWORD>(hr), 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::wstring result = text ? std::wstring(text, length) : std::wstring();
    LocalFree(text);
    while (!result.empty() && (result.back() == L'\n' || result.back() == L'\r' || result.back() == L'.' || result.back() == L' '))
        result.pop_back();
    return result.empty() ? number : result + L" (" + number + L")";
}
