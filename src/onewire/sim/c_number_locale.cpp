#include "onewire/sim/c_number_locale.h"

#include <clocale>

namespace orvel::sim {

#ifdef _WIN32

CNumberLocale::CNumberLocale() : per_thread_(_configthreadlocale(_ENABLE_PER_THREAD_LOCALE)) {
  const char* numeric = std::setlocale(LC_NUMERIC, nullptr);
  numeric_ = numeric != nullptr ? numeric : "C";
  std::setlocale(LC_NUMERIC, "C");
}

CNumberLocale::~CNumberLocale() {
  std::setlocale(LC_NUMERIC, numeric_.c_str());
  _configthreadlocale(per_thread_);
}

#else

CNumberLocale::CNumberLocale() : c_(newlocale(LC_ALL_MASK, "C", nullptr)) {
  if (c_ != nullptr) previous_ = uselocale(c_);
}

CNumberLocale::~CNumberLocale() {
  if (c_ == nullptr) return;
  uselocale(previous_);
  freelocale(c_);
}

#endif

}  // namespace orvel::sim
