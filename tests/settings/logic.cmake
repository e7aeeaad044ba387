# The stored preferences, the shortcut text and recorder (no display).
if(TARGET kelvo_settings_logic)
  kelvo_add_test(kelvo_settings_logic_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/StoredPreferencesTest.cpp
            ${CMAKE_CURRENT_LIST_DIR}/ShortcutTextTest.cpp
            ${CMAKE_CURRENT_LIST_DIR}/ShortcutRecorderTest.cpp
    LIBS kelvo_settings_logic kelvo_platform_memory)
endif()
