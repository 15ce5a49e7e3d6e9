// The control block of a simulated card library. A test creates it as named
// shared memory before the simulator loads; the simulator then logs every
// call into it and answers with the results it scripts. Without a control
// block (the demo card) the simulator answers success and logs nothing.
//
// The simulators export exactly the functions of the real libraries, so this
// block is their only other channel.
#pragma once

#include <cstdint>

namespace card_sim {

inline constexpr int kMaxArgs = 8;
inline constexpr int kMaxCalls = 16384;
inline constexpr int kMaxFunctions = 16;
inline constexpr int kMaxScripted = 8;
inline constexpr int kMaxHidden = 4;
inline constexpr uint32_t kMagic = 0x43415244;  // "CARD"

struct CallRecord {
    char function[28];
    int32_t argCount;
    int64_t args[kMaxArgs];  // pointers as their addresses
};

// What one function returns: values[0..count) for its first calls, in
// order, then `otherwise`.
struct Script {
    int32_t values[kMaxScripted];
    uint32_t count;
    int32_t otherwise;
    uint32_t served;  // calls answered so far
};

struct ControlHeader {
    uint32_t magic;
    uint32_t size;
    // Exports that GetProcAddress shall not find; read when the simulator loads.
    char hidden[kMaxHidden][28];
    Script results[kMaxFunctions];  // by the simulator's function index
    // For benchmarks: no picture work per frame (every frame the same
    // precomputed picture) and no call log.
    uint32_t fast;
    uint32_t frames;  // frames taken so far
    uint32_t callCount;
    uint32_t dropped;  // calls not logged once the log was full
    CallRecord calls[kMaxCalls];
};

// Each simulator's block: the common header, then what its card reports.
template <typename CardSettings>
struct Control {
    ControlHeader header;
    CardSettings card;
};

// Name of the shared memory of the simulator of `library` (e.g. L"wcx32").
inline const wchar_t* kControlNamePrefix = L"Local\\VideoGrabberCardSim.";

}  // namespace card_sim
