// The four deliverables side by side: what a host sees differently from one
// to the next. Everything else in the conformance suite is the same for all.
#pragma once

#include "grabber_test_env.h"
#include "server_identity.h"

#include <random>
#include <string>
#include <vector>

namespace conformance {

struct Deliverable {
    const char* name;
    const ServerIdentity* identity;
    const wchar_t* card;                                  // as in "Error - <card>"
    testing_support::CardControlBase& (*freshCard)();     // the simulator reset to a healthy card
    void (*randomGeometry)(std::mt19937& rng);            // the card reports a random, maybe absurd, frame size
    void (*badGeometry)(int which);                       // the card reports bad geometry number `which`
    int badGeometryCount;
    int functionCount;                                    // exports of the card library, by index
    const char* laterExport;                              // an export that Init binds after its first call
    bool hasColor;                                        // HasColor reads True
    bool storesColor;                                     // Color put is kept and selects 24-bit frames
    bool shutDownClearsColor;
    bool grabChecksInitialized;                           // Grab refuses before a successful Init
    bool acceptsLargerArrays;                             // Grab takes more than BufferSize elements
    const wchar_t* notInitializedText;
    const wchar_t* bufferSizeText;
};

// The deliverables built beside the test program.
const std::vector<Deliverable>& BuiltDeliverables();

}  // namespace conformance
