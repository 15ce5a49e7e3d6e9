#include "simulated_card.h"

namespace testing_support {

CardControlBase::CardControlBase(const wchar_t* library, size_t size) : size_(size) {
    const std::wstring name = std::wstring(card_sim::kControlNamePrefix) + library;
    HANDLE mapping = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, static_cast<DWORD>(size),
                                        name.c_str());
    view_ = MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, size);
    std::memset(view_, 0, size);
    header()->magic = card_sim::kMagic;
    header()->size = static_cast<uint32_t>(size);
}

void CardControlBase::Reset() {
    card_sim::ControlHeader* h = header();
    std::memset(h->results, 0, sizeof h->results);
    h->fast = 0;
    h->frames = 0;
    ClearLog();
}

void CardControlBase::Script(int function, std::initializer_list<int32_t> values, int32_t otherwise) {
    card_sim::Script& s = header()->results[function];
    s = card_sim::Script{};
    for (int32_t v : values) s.values[s.count++] = v;
    s.otherwise = otherwise;
}

void CardControlBase::Hide(const char* exportName) {
    for (auto& slot : header()->hidden) {
        if (slot[0]) continue;
        std::strncpy(slot, exportName, sizeof slot - 1);
        return;
    }
}

std::vector<LoggedCall> CardControlBase::Calls() const {
    std::vector<LoggedCall> calls;
    const card_sim::ControlHeader* h = header();
    for (uint32_t i = 0; i < h->callCount; ++i) {
        const card_sim::CallRecord& r = h->calls[i];
        calls.push_back({r.function, std::vector<int64_t>(r.args, r.args + r.argCount)});
    }
    return calls;
}

std::vector<std::string> CardControlBase::CallNames() const {
    std::vector<std::string> names;
    for (const LoggedCall& c : Calls()) names.push_back(c.function);
    return names;
}

std::vector<LoggedCall> CardControlBase::CallsTo(const std::string& function) const {
    std::vector<LoggedCall> calls;
    for (LoggedCall& c : Calls())
        if (c.function == function) calls.push_back(std::move(c));
    return calls;
}

}  // namespace testing_support
