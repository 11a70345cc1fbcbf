#include "cbaseobject.h"

#include <atomic>

namespace QXAGUI {

namespace {
// Instances of two plug-ins may live on two window threads at once.
std::atomic<int32_t> liveObjects{0};
} // namespace

CBaseObject::CBaseObject() {
    liveObjects.fetch_add(1, std::memory_order_relaxed);
}

CBaseObject::~CBaseObject() {
    liveObjects.fetch_sub(1, std::memory_order_relaxed);
}

void CBaseObject::release() {
    // Acquire-release: whatever the other holders wrote happens before the deletion.
    if (referenceCount_.fetch_sub(1, std::memory_order_acq_rel) == 1) delete this;
}

void CBaseObject::retain() {
    referenceCount_.fetch_add(1, std::memory_order_relaxed);
}

int32_t CBaseObject::handleMessage(CBaseObject* /*sender*/, const char* /*message*/) {
    return 0;
}

int32_t CBaseObject::liveObjectCount() {
    return liveObjects.load(std::memory_order_relaxed);
}

} // namespace QXAGUI
