#include "deliverables.h"
#include "flashbus_grabber.h"
#include "server.h"

const ServerIdentity& ServedIdentity() { return kFlashBusMvIdentity; }
std::unique_ptr<Grabber> CreateServedGrabber() { return std::make_unique<FlashBusGrabber>(); }
