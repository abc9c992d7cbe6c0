#include <clocale>
#include <cstring>

#include "core/platform.h"

#ifndef _WIN32
#include <langinfo.h>
#endif

namespace orvel::core {
namespace {

#ifndef _WIN32
// The first character of a strftime pattern that is neither a conversion
// nor a letter: "%d.%m.%Y" gives '.', "%H:%M:%S" gives ':'.
char FirstSeparator(const char* pattern, char fallback) {
  if (pattern == nullptr) return fallback;
  for (const char* p = pattern; *p != '\0'; ++p) {
    if (*p == '%') {
      if (p[1] == '\0') break;
      ++p;
      if (*p == 'E' || *p == 'O') ++p;  // modifiers
      continue;
    }
    const auto c = static_cast<unsigned char>(*p);
    if (c < 0x80 && std::strchr("/.-:", *p) != nullptr) return *p;
  }
  return fallback;
}
#endif

// The locale's sign when it is one ASCII character; otherwise (U+066B in
// ps_AF takes two bytes) the C locale's, so that everything written stays
// ASCII.
char SingleAscii(const char* sign, char c_locale) {
  if (sign == nullptr || sign[0] == '\0' || sign[1] != '\0') return c_locale;
  const auto c = static_cast<unsigned char>(sign[0]);
  return c >= 0x20 && c < 0x7F ? sign[0] : c_locale;
}

}  // namespace

LocaleSeparators ProcessLocaleSeparators() {
  LocaleSeparators s;
  const std::lconv* lc = std::localeconv();
  s.decimal = SingleAscii(lc != nullptr ? lc->decimal_point : nullptr, '.');
#ifndef _WIN32
  s.date = FirstSeparator(nl_langinfo(D_FMT), '/');
  s.time = FirstSeparator(nl_langinfo(T_FMT), ':');
#else
  s.date = '.';
  s.time = ':';
#endif
  return s;
}

}  // namespace orvel::core
