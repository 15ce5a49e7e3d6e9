#include "cx100_grabber.h"
#include "deliverables.h"
#include "server.h"

const ServerIdentity& ServedIdentity() { return kCx100Identity; }
std::unique_ptr<Grabber> CreateServedGrabber() { return std::make_unique<Cx100Grabber>(); }
