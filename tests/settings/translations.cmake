# The catalogues against the code (with the build's lupdate and options),
# the choice of catalogue and the loader of the built-in ones.
if(TARGET kelvo_translations AND TARGET Qt6::lupdate)
  find_package(Qt6 6.4 REQUIRED COMPONENTS Test)
  string(JOIN " " _kelvo_lupdate_options ${KELVO_LUPDATE_OPTIONS})
  kelvo_add_test(kelvo_translations_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/TranslationsTest.cpp
    LIBS kelvo_translations kelvo_model Qt6::Test)
  target_compile_definitions(kelvo_translations_test PRIVATE KELVO_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
    KELVO_LUPDATE="$<TARGET_FILE:Qt6::lupdate>" KELVO_LUPDATE_OPTIONS="${_kelvo_lupdate_options}")
endif()
