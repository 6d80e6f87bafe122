# The language cases (suites named Language*) again, each in a Wine process started under another
# system default language: Wine takes it from the process's locale variables. Every 32-bit Wine
# start costs about 50 s under emulation, so the 32-bit build runs only the Portuguese (Brazil)
# stage; the 64-bit build also runs Portuguese (Portugal) and German, which must get English.
set(language_stages pt_BR=1046)
if(NOT CMAKE_SYSTEM_PROCESSOR STREQUAL "x86")
  list(APPEND language_stages pt_PT=2070 de_DE=1031)
endif()

foreach(stage IN LISTS language_stages)
  string(REPLACE "=" ";" stage_parts ${stage})
  list(GET stage_parts 0 stage_locale)
  list(GET stage_parts 1 stage_langid)
  add_test(NAME language_${stage_locale}
    COMMAND ${CMAKE_SOURCE_DIR}/scripts/run-wine.sh ${CMAKE_SYSTEM_PROCESSOR}
            $<TARGET_FILE:voduvo_wine_tests> --gtest_filter=Language*)
  set_tests_properties(language_${stage_locale} PROPERTIES ENVIRONMENT
    "LANG=${stage_locale}.UTF-8;LC_ALL=${stage_locale}.UTF-8;VODUVO_EXPECTED_LANGID=${stage_langid}")
endforeach()
