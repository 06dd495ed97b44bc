#include "values/value_history.h"

#include <algorithm>

namespace qrt::values {

void ValueHistory::add(const receive::Measurement& m) {
    channel_.assign(m.channel);
    if (m.channelNumber >= 0) {
        channel_ = m.channelText();
    }
    auto [it, isNew] = rows_.try_emplace(Key{m.source, channel_}, series_.size());
    if (isNew) {
        auto series = std::make_unique<Series>();
        series->source = m.source;
        series->channel = channel_;
        series->unit = m.unit;
        series_.push_back(std::move(series));
        isUpdated_.push_back(false);
    }
    const std::size_t row = it->second;
    Series& series = *series_[row];
    const double value = m.value();
    series.min = series.count == 0 ? value : std::min(series.min, value);
    series.max = series.count == 0 ? value : std::max(series.max, value);
    series.last = value;
    series.lastTime = m.time;
    series.unit = m.unit;
    series.scaled = m.scale != 1.0;
    ++series.count;
    if (keepPoints_) {
        series.points.add(m.time.utcMilliseconds, m.raw, m.scale);
    }
    if (row < reportedRows_ && !isUpdated_[row]) {
        isUpdated_[row] = true;
        updated_.push_back(row);
    }
}

void ValueHistory::clear() {
    series_.clear();
    rows_.clear();
    updated_.clear();
    isUpdated_.clear();
    reportedRows_ = 0;
    cleared_ = true;
}

void ValueHistory::removeSource(const receive::ValueSource& source) {
    const auto kept = std::stable_partition(series_.begin(), series_.end(),
                                            [&](const auto& s) { return !(s->source == source); });
    if (kept == series_.end()) {
        return;
    }
    series_.erase(kept, series_.end());
    rows_.clear();
    for (std::size_t row = 0; row < series_.size(); ++row) {
        rows_.emplace(Key{series_[row]->source, series_[row]->channel}, row);
    }
    updated_.clear();
    isUpdated_.assign(series_.size(), false);
    reportedRows_ = 0;
    cleared_ = true;
}

std::size_t ValueHistory::pointMemoryBytes() const {
    std::size_t bytes = 0;
    for (const auto& series : series_) {
        bytes += series->points.memoryBytes();
    }
    return bytes;
}

ValueHistory::Changes ValueHistory::takeChanges() {
    Changes changes{.firstNew = reportedRows_, .updated = std::move(updated_), .cleared = cleared_};
    for (const std::size_t row : changes.updated) {
        isUpdated_[row] = false;
    }
    updated_.clear();
    reportedRows_ = series_.size();
    cleared_ = false;
    return changes;
}

}  // namespace qrt::values
