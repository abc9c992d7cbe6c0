#include "history/series_range.h"

#include <algorithm>
#include <limits>

namespace orvel::history {

std::int64_t SpanStart(Span span, std::int64_t now) {
  switch (span) {
    case Span::Hour:
      return now - 3600;
    case Span::Day:
      return now - 86400;
    case Span::Week:
      return now - 7 * 86400;
    case Span::All:
      break;
  }
  return std::numeric_limits<std::int64_t>::min();
}

std::span<const Sample> InRange(std::span<const Sample> samples, std::int64_t from,
                                std::int64_t to) {
  const auto first = std::partition_point(samples.begin(), samples.end(),
                                          [&](const Sample& s) { return s.secs < from; });
  const auto last =
      std::partition_point(first, samples.end(), [&](const Sample& s) { return s.secs <= to; });
  return {first, last};
}

Summary Summarize(std::span<const Sample> samples) {
  Summary out;
  double sum = 0.0;
  for (const Sample& s : samples) {
    if (s.gap) {
      ++out.gaps;
      continue;
    }
    if (out.values == 0) {
      out.min = out.max = s.value;
    } else {
      out.min = std::min(out.min, s.value);
      out.max = std::max(out.max, s.value);
    }
    sum += s.value;
    ++out.values;
  }
  if (out.values > 0) out.mean = sum / static_cast<double>(out.values);
  return out;
}

std::vector<Sample> Thin(std::span<const Sample> samples, std::size_t columns) {
  if (columns == 0 || samples.size() <= 2 * columns) return {samples.begin(), samples.end()};
  std::vector<Sample> out;
  out.reserve(3 * columns + 2);
  const std::int64_t t0 = samples.front().secs;
  const std::int64_t t1 = samples.back().secs;
  const double width = static_cast<double>(t1 - t0 + 1) / static_cast<double>(columns);
  std::size_t i = 0;
  while (i < samples.size()) {
    const auto column =
        static_cast<std::int64_t>(static_cast<double>(samples[i].secs - t0) / width);
    const Sample* lo = nullptr;
    const Sample* hi = nullptr;
    const Sample* gap = nullptr;
    std::size_t j = i;
    for (; j < samples.size(); ++j) {
      const Sample& s = samples[j];
      if (static_cast<std::int64_t>(static_cast<double>(s.secs - t0) / width) != column) break;
      if (s.gap) {
        if (gap == nullptr) gap = &s;
        continue;
      }
      if (lo == nullptr || s.value < lo->value) lo = &s;
      if (hi == nullptr || s.value > hi->value) hi = &s;
    }
    // In time order, so the line through them keeps its shape.
    const Sample* picks[3] = {lo, hi, gap};
    std::sort(std::begin(picks), std::end(picks), [](const Sample* a, const Sample* b) {
      if (a == nullptr || b == nullptr) return b == nullptr && a != nullptr;
      return a < b;
    });
    const Sample* previous = nullptr;
    for (const Sample* p : picks) {
      if (p != nullptr && p != previous) out.push_back(*p);
      previous = p;
    }
    i = j;
  }
  return out;
}

}  // namespace orvel::history
