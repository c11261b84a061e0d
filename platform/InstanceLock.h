#pragma once
// The cross-process marker of a running copy. Holding it is what says "a copy runs"; the
// system drops it when the holder ends, however it ends, so a killed copy never blocks.

#include <string>

namespace platform {

class InstanceLock {
public:
    enum class Result { Acquired, HeldElsewhere, Unavailable };
    virtual ~InstanceLock() = default;
    // Tests and takes the marker in one step, so two copies starting together cannot both
    // win. Unavailable: the marker could not be made at all (the caller runs without it).
    virtual Result TryAcquire(const std::string& name) = 0;
    virtual void Release() = 0;
};

}  // namespace platform
