#pragma once
// Where the raw-frame view hands each depth-triggered strip. The live
// window's strip view registers here; the registration lapses by itself when
// its owner object is destroyed, so a strip is never handed to a view that is
// gone, whatever the order of teardown. User-interface thread only.

#include <memory>

class QObject;

namespace bc {

class CUnWrapImage;

class IStripSink {
public:
    virtual ~IStripSink() = default;
    // Takes a strip stamped with its depth and heading into the survey.
    virtual void AddCapturedImage(std::unique_ptr<CUnWrapImage> item) = 0;
};

// Registers `sink`, owned by `owner`; a null owner or sink clears it.
void registerStripSink(QObject* owner, IStripSink* sink);
// Clears the registration only when it is `owner`'s.
void unregisterStripSink(QObject* owner);
// The registered sink, or null when none is registered or its owner is gone.
IStripSink* registeredStripSink();

} // namespace bc
