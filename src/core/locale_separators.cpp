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

}  // namespace

LocaleSeparators ProcessLocaleSeparators() {
  LocaleSeparators s;
  const std::lconv* lc = std::localeconv();
  s.decimal = (lc != nullptr && lc->decimal_point != nullptr && lc->decimal_point[0] != '\0')
                  ? lc->decimal_point[0]
                  : '.';
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
