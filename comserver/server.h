// The in-process COM server frame shared by every deliverable. A deliverable
// supplies its identity and the function that makes its plug-in object.
#pragma once

#include "grabber.h"
#include "server_identity.h"

#include <memory>

// Defined once per deliverable (its server.cpp).
const ServerIdentity& ServedIdentity();
std::unique_ptr<Grabber> CreateServedGrabber();

// The process-wide counts that DllCanUnloadNow reads.
void ServerObjectCreated();
void ServerObjectDestroyed();
void ServerLock(bool lock);
bool ServerInUse();

// Makes a new plug-in object and returns the interface asked for.
HRESULT CreateGrabberObject(REFIID iid, void** out);
