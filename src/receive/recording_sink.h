#pragma once

#include <cstddef>

#include "link/recording_format.h"
#include "link/traffic_observer.h"

namespace qrt::receive {

/// Where a recording of the traffic goes: what the link writes and reads (as its traffic
/// observer), and how the poller delimited what it took from the receiver's ring.
class RecordingSink : public link::TrafficObserver {
  public:
    /// The poller took the oldest `count` bytes of the receiver's ring as `kind`.
    virtual void taken(link::RecordKind kind, std::size_t count) = 0;
    /// The poll has ended: what it took is written out.
    virtual void pollFinished() = 0;
};

}  // namespace qrt::receive
