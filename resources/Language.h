// The language of every text, chosen once at start-up from the system's default language.
#pragma once

#include <windows.h>

// The one language id that selects Portuguese; every other one, Portugal's included, gets English.
constexpr LANGID kLangPortugueseBrazil = MAKELANGID(LANG_PORTUGUESE, SUBLANG_PORTUGUESE_BRAZILIAN);
constexpr LANGID kLangEnglishUs = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);

// Sets the calling thread's locale to Portuguese (Brazil) or English (United States), so that the
// resource loader picks the notice dialogs in the language of the catalogue.
void SelectThreadLocale();
// Sets languageBase to the catalogue block of the system's language.
void SelectMessageLanguage();
