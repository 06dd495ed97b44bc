#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "receive/measurement.h"
#include "values/point_ring.h"

namespace qrt::values {

/// One module's channel over time: its newest points and what the table shows of it.
struct Series {
    receive::ValueSource source;
    std::string channel;
    receive::Unit unit = receive::Unit::Raw;
    bool scaled = false;  // shown with two decimals (temperature, battery, hour meter)
    double last = 0;
    common::Timestamp lastTime{};
    std::uint64_t count = 0;  // values since the history was cleared
    double min = 0;
    double max = 0;
    PointRing points;
};

/// The values of every module and channel heard, one series each, in the order they
/// were first heard. A consumer asks once in a while what changed since it last asked.
class ValueHistory {
  public:
    /// Rows of series first heard and rows updated since the last `takeChanges`.
    struct Changes {
        std::size_t firstNew = 0;          // series from here on are new
        std::vector<std::size_t> updated;  // older series with new values
        bool cleared = false;              // everything was dropped meanwhile
    };

    void add(const receive::Measurement& measurement);
    /// Whether each series keeps its newest points for a plot (the window), or only its
    /// last value, count, minimum and maximum (a service running for months).
    void keepPoints(bool keep) { keepPoints_ = keep; }
    void clear();
    /// Drops the series of one source (a module's archive before it is plotted again).
    void removeSource(const receive::ValueSource& source);

    [[nodiscard]] std::size_t size() const { return series_.size(); }
    [[nodiscard]] const Series& at(std::size_t row) const { return *series_[row]; }
    /// Bytes held for all points.
    [[nodiscard]] std::size_t pointMemoryBytes() const;

    Changes takeChanges();

  private:
    using Key = std::pair<receive::ValueSource, std::string>;
    std::vector<std::unique_ptr<Series>> series_;
    std::map<Key, std::size_t> rows_;
    std::size_t reportedRows_ = 0;
    std::vector<std::size_t> updated_;
    std::vector<bool> isUpdated_;
    bool cleared_ = false;
    bool keepPoints_ = true;
    std::string channel_;  // reused for the lookup key
};

}  // namespace qrt::values
