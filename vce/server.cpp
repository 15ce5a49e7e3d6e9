#include "deliverables.h"
#include "server.h"
#include "vce_grabber.h"

const ServerIdentity& ServedIdentity() { return kVceIdentity; }
std::unique_ptr<Grabber> CreateServedGrabber() { return std::make_unique<VceGrabber>(); }
