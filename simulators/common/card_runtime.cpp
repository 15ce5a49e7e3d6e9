#include "card_runtime.h"

#include <cstring>
#include <string>

namespace card_sim {

namespace {

// Makes GetProcAddress miss `name` by pointing its entry in the export name
// table at the same name with a '~' appended. The table stays sorted, so the
// other exports are still found.
void HideExport(HMODULE module, const char* name) {
    auto* base = reinterpret_cast<BYTE*>(module);
    auto* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base);
    auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
    if (!dir.VirtualAddress) return;
    auto* exports = reinterpret_cast<IMAGE_EXPORT_DIRECTORY*>(base + dir.VirtualAddress);
    auto* names = reinterpret_cast<DWORD*>(base + exports->AddressOfNames);
    static char renamed[kMaxHidden][32];
    static int used = 0;
    for (DWORD i = 0; i < exports->NumberOfNames && used < kMaxHidden; ++i) {
        if (std::strcmp(reinterpret_cast<char*>(base + names[i]), name) != 0) continue;
        char* copy = renamed[used++];
        std::strncpy(copy, name, 30);
        std::strcat(copy, "~");
        DWORD old = 0;
        VirtualProtect(&names[i], sizeof(DWORD), PAGE_READWRITE, &old);
        names[i] = static_cast<DWORD>(reinterpret_cast<BYTE*>(copy) - base);
        VirtualProtect(&names[i], sizeof(DWORD), old, &old);
    }
}

}  // namespace

void CardRuntime::Attach(HMODULE module, const wchar_t* library, size_t controlSize) {
    const std::wstring name = std::wstring(kControlNamePrefix) + library;
    HANDLE mapping = OpenFileMappingW(FILE_MAP_ALL_ACCESS, FALSE, name.c_str());
    if (!mapping) return;
    // The view stays mapped for the life of the process, like the library.
    auto* header = static_cast<ControlHeader*>(MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, controlSize));
    if (!header || header->magic != kMagic || header->size != controlSize) return;
    control_ = header;
    for (const auto& hidden : header->hidden)
        if (hidden[0]) HideExport(module, hidden);
}

int32_t CardRuntime::Call(int function, const char* name, std::initializer_list<int64_t> args) {
    if (!control_) return 0;
    if (control_->fast) {
        // Benchmarks: no log, only the scripted result.
    } else if (control_->callCount < static_cast<uint32_t>(kMaxCalls)) {
        CallRecord& r = control_->calls[control_->callCount++];
        std::strncpy(r.function, name, sizeof r.function - 1);
        r.argCount = static_cast<int32_t>(args.size());
        int i = 0;
        for (int64_t a : args)
            if (i < kMaxArgs) r.args[i++] = a;
    } else {
        ++control_->dropped;
    }
    Script& s = control_->results[function];
    const uint32_t n = s.served++;
    return n < s.count && n < static_cast<uint32_t>(kMaxScripted) ? s.values[n] : s.otherwise;
}

}  // namespace card_sim
