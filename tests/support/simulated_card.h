// The tests' side of a simulated card library's control block: scripts what
// each function returns, sets what the card reports, and reads the call log.
#pragma once

#include "card_control.h"

#include <windows.h>

#include <cstring>
#include <initializer_list>
#include <string>
#include <type_traits>
#include <vector>

namespace testing_support {

struct LoggedCall {
    std::string function;
    std::vector<int64_t> args;
    bool operator==(const LoggedCall& o) const { return function == o.function && args == o.args; }
};

class CardControlBase {
public:
    CardControlBase(const wchar_t* library, size_t size);
    CardControlBase(const CardControlBase&) = delete;
    CardControlBase& operator=(const CardControlBase&) = delete;

    // Back to a fresh card: no scripts, no log, frame count 0. Hidden
    // exports stay hidden.
    void Reset();
    // `function` returns `values` for its next calls, then `otherwise`.
    void Script(int function, std::initializer_list<int32_t> values, int32_t otherwise = 0);
    void Returns(int function, int32_t value) { Script(function, {}, value); }
    void Hide(const char* exportName);  // before the simulator loads
    void SetFast(bool fast) { header()->fast = fast ? 1 : 0; }
    uint32_t frames() const { return header()->frames; }

    std::vector<LoggedCall> Calls() const;
    std::vector<std::string> CallNames() const;
    std::vector<LoggedCall> CallsTo(const std::string& function) const;
    void ClearLog() { header()->callCount = 0; header()->dropped = 0; }

protected:
    card_sim::ControlHeader* header() const { return static_cast<card_sim::ControlHeader*>(view_); }
    void* view_ = nullptr;
    size_t size_ = 0;
};

// One card's control block with its settings.
template <typename Control>
class SimulatedCard : public CardControlBase {
public:
    // A healthy card with the settings' defaults.
    explicit SimulatedCard(const wchar_t* library) : CardControlBase(library, sizeof(Control)) { Reset(); }
    auto& settings() { return static_cast<Control*>(view_)->card; }
    void Reset() {
        CardControlBase::Reset();
        settings() = std::remove_reference_t<decltype(settings())>{};
    }
};

}  // namespace testing_support
