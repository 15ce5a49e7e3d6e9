// What every simulated card library does around its functions: attach to the
// control block, log a call, answer from the script, hide exports.
#pragma once

#include "card_control.h"

#include <windows.h>

#include <cstddef>
#include <initializer_list>

namespace card_sim {

class CardRuntime {
public:
    // At DLL attach: opens the control block of `library`, if a test made
    // one, and hides the exports it names.
    void Attach(HMODULE module, const wchar_t* library, size_t controlSize);

    ControlHeader* control() const { return control_; }
    void* card() const { return control_ ? reinterpret_cast<char*>(control_) + sizeof(ControlHeader) : nullptr; }
    bool fast() const { return control_ && control_->fast; }

    // Logs a call (test double only) and returns the scripted result of the
    // function with index `function`.
    int32_t Call(int function, const char* name, std::initializer_list<int64_t> args);
    uint32_t NextFrame() { return control_ ? control_->frames++ : frames_++; }

private:
    ControlHeader* control_ = nullptr;
    uint32_t frames_ = 0;
};

template <typename T>
int64_t Arg(T* p) {
    return static_cast<int64_t>(reinterpret_cast<uintptr_t>(p));
}

}  // namespace card_sim
