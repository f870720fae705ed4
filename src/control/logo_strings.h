// The logo component's string tables in English, Spanish and Portuguese (Brazil), and
// the choice of the table from the user's locale.
#pragma once

#include <string>

namespace tervane {

enum class LogoLanguage { kEnglish, kSpanish, kPortuguese };

// The language for a locale name such as "pt_BR.UTF-8", "es_AR" or "C": Portuguese
// (Brazil) for pt_BR, Spanish for any es, English for everything else.
LogoLanguage LogoLanguageForLocale(const std::string& locale);

// The language of the user's locale: the first non-empty of LC_ALL, LC_MESSAGES, LANG.
LogoLanguage UserLogoLanguage();

// The text of string `id` (1, 2, 3..23, 200) in `language`, in Windows-1252; an empty
// text for an id the table does not have.
std::string LogoString(int id, LogoLanguage language);

// The alignment group box and its two buttons as each language's dialog shows them.
struct AlignmentTexts {
  std::string group, left, center;  // Windows-1252
};
AlignmentTexts LogoAlignmentTexts(LogoLanguage language);

// Caption of every message box of the component.
inline constexpr const char* kLogoCaption = "VESTRAL";

}  // namespace tervane
