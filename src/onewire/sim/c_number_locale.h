#pragma once

#ifdef _WIN32
#include <string>
#else
#include <locale.h>
#endif

namespace orvel::sim {

// While it lives, this thread reads and writes numbers as the C locale does.
// The JSON parser hands numbers to strtod with the locale's decimal sign put
// in, which fails where that sign takes more than one byte (U+066B).
class CNumberLocale {
 public:
  CNumberLocale();
  ~CNumberLocale();
  CNumberLocale(const CNumberLocale&) = delete;
  CNumberLocale& operator=(const CNumberLocale&) = delete;

 private:
#ifdef _WIN32
  int per_thread_ = 0;
  std::string numeric_;
#else
  locale_t c_ = nullptr;
  locale_t previous_ = nullptr;
#endif
};

}  // namespace orvel::sim
