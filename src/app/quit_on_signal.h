#pragma once

class QWidget;

namespace qrt::app {

/// Closes `window` when the process is asked to stop (SIGTERM, SIGINT, as at the end of
/// a desktop session), so the settings are written as on a normal close. The signal
/// only wakes the event loop; the window is closed from there.
void closeOnTerminationSignals(QWidget& window);

}  // namespace qrt::app
