#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "history/journal_reader.h"

namespace orvel::history {

// The spans the plot offers, counted back from now.
enum class Span { Hour, Day, Week, All };

// The first second shown for a span ending at `now`; the earliest possible
// for All.
std::int64_t SpanStart(Span span, std::int64_t now);

// The samples with from <= secs <= to; a journal is in time order, so this
// is a binary search (a clock set back leaves it to the lines' order).
std::span<const Sample> InRange(std::span<const Sample> samples, std::int64_t from,
                                std::int64_t to);

struct Summary {
  std::size_t values = 0;                   // samples with a value
  std::size_t gaps = 0;                     // fault codes and stand-ins
  double min = 0.0, max = 0.0, mean = 0.0;  // over the values; 0 when none
};

Summary Summarize(std::span<const Sample> samples);

// At most 3 * `columns` samples that draw like all of them: the lowest and
// highest value of each column and its first gap, so that neither a peak
// nor a fault disappears from a long range.
std::vector<Sample> Thin(std::span<const Sample> samples, std::size_t columns);

}  // namespace orvel::history
