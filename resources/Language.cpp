// The language choice made at start-up: exactly Brazilian Portuguese, or English.
#include "resources/Language.h"

#include "resources/MessageCatalogue.h"

namespace {

bool SystemIsBrazilianPortuguese() { return GetSystemDefaultLangID() == kLangPortugueseBrazil; }

}  // namespace

void SelectThreadLocale() {
  LANGID language = SystemIsBrazilianPortuguese() ? kLangPortugueseBrazil : kLangEnglishUs;
  // A refusal leaves the thread's own locale; the catalogue language is chosen independently.
  SetThreadLocale(MAKELCID(language, SORT_DEFAULT));
}

void SelectMessageLanguage() {
  languageBase = SystemIsBrazilianPortuguese() ? kPortugueseBase : kEnglishBase;
}
