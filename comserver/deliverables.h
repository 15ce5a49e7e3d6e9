// The identities of the four deliverables, each defined in its plug-in's
// folder (identity.cpp). The type-library builder and the tests that hold
// all four side by side read them from here.
#pragma once

#include "server_identity.h"

extern const ServerIdentity kCx100Identity;
extern const ServerIdentity kFlashBusMvIdentity;
extern const ServerIdentity kVideoPortProIdentity;
extern const ServerIdentity kVceIdentity;
