#pragma once

#include <functional>
#include <string>

#include "common/failure.h"
#include "gateway/gateway_options.h"
#include "gateway/publisher.h"
#include "gateway/value_queue.h"

namespace qrt::gateway {

/// Makes SIGHUP (systemctl reload) a request to read the settings again instead of the
/// end of the gateway.
void reloadOnHangUp();
/// Whether SIGHUP came since the last call.
[[nodiscard]] bool takeReloadRequest();

/// A reload: reads the command line and its configuration file again and applies what
/// can change while the gateway runs (the queue's limit, the decoded lines on
/// PREFIX/lines). A setting that cannot (the port, the broker and how to reach it, the
/// topics, the queue's folder) is named on the log and keeps its value until the next
/// start; settings that cannot be used change nothing.
class SettingsReload {
  public:
    using Reread = std::function<common::Result<GatewaySetup>()>;

    SettingsReload(GatewaySetup running, Reread reread, ValueQueue& queue, Publisher::Say say)
        : running_(std::move(running)),
          reread_(std::move(reread)),
          queue_(queue),
          say_(std::move(say)) {}

    /// Reads the settings again; what may change now changes in `settings` (the loop's)
    /// and in the queue. One line on the log says what became of it.
    void reload(GatewaySettings& settings);

  private:
    GatewaySetup running_;
    Reread reread_;
    ValueQueue& queue_;
    Publisher::Say say_;
};

}  // namespace qrt::gateway
