// CBaseObject: the root of every toolkit object. Reference counted: whoever constructs an
// object holds its first reference; every holder that stores a pointer retains it and releases
// it when it lets go. The last release deletes the object.
#pragma once

#include <atomic>
#include <cstdint>

namespace QXAGUI {

class CBaseObject {
public:
    CBaseObject();
    CBaseObject(const CBaseObject&) = delete;
    CBaseObject& operator=(const CBaseObject&) = delete;
    virtual ~CBaseObject();

    // Drops one reference; the object deletes itself when that was the last one.
    virtual void release();
    virtual void retain();
    // Messages between views (see viewtypes.h); 0 = not understood.
    virtual int32_t handleMessage(CBaseObject* sender, const char* message);

    int32_t referenceCount() const { return referenceCount_.load(std::memory_order_relaxed); }

    // Toolkit objects alive in this module, on any thread: the editors' leak check reads it.
    static int32_t liveObjectCount();

private:
    // Atomic: the named fonts are shared by every editor in the process, and a host may give
    // each editor window a thread of its own.
    std::atomic<int32_t> referenceCount_{1};
};

// Holds one reference for a scope: retain on construction, release on destruction. Keeps a
// view, a frame or an editor alive across a call that may let the host close it.
template <typename T>
class RetainScope {
public:
    explicit RetainScope(T* object) : object_(object) {
        if (object_) object_->retain();
    }
    ~RetainScope() {
        if (object_) object_->release();
    }
    RetainScope(const RetainScope&) = delete;
    RetainScope& operator=(const RetainScope&) = delete;

private:
    T* object_;
};

} // namespace QXAGUI
