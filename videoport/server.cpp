#include "deliverables.h"
#include "server.h"
#include "videoport_grabber.h"

const ServerIdentity& ServedIdentity() { return kVideoPortProIdentity; }
std::unique_ptr<Grabber> CreateServedGrabber() { return std::make_unique<VideoPortProGrabber>(); }
