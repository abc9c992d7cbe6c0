#pragma once

// The texts the window carries that name the project's own contacts. They
// live under the reserved .example domain: placeholders, not real places.
namespace orvel::app {

inline constexpr char kAppTitle[] = "Orvel-viewer";
inline constexpr char kMakerName[] = "Orvel project";
inline constexpr char kMakerSiteText[] = "www.orvel.example";
inline constexpr char kMakerSiteUrl[] = "https://www.orvel.example/";
inline constexpr char kSupportAddress[] = "support@orvel.example";

inline constexpr char kHelpText[] =
    "Требуется помощь?\n"
    "обращайтесь в службу техподдержки\n"
    "или пишите на адрес\n"
    "support@orvel.example";

inline constexpr char kTermsOfUse[] =
    "Программа Orvel-viewer показывает температуру и влажность, измеренные "
    "датчиками Orvel, подключёнными к компьютеру через USB-адаптер шины 1-Wire, "
    "и по желанию записывает показания в файлы журнала.\n"
    "\n"
    "Программу можно свободно устанавливать, использовать и передавать другим. "
    "Изменять программу и продавать её запрещается.\n"
    "\n"
    "Программа предоставляется «как есть», без каких-либо гарантий.\n"
    "\n"
    "Вопросы и предложения присылайте по адресу support@orvel.example";

}  // namespace orvel::app
