# The stored preferences, the shortcut text and recorder, and the Qt key
# monitor the recorder uses in the program (offscreen, no display).
if(TARGET kelvo_settings_logic)
  kelvo_add_test(kelvo_settings_logic_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/StoredPreferencesTest.cpp
            ${CMAKE_CURRENT_LIST_DIR}/ShortcutTextTest.cpp
            ${CMAKE_CURRENT_LIST_DIR}/ShortcutRecorderTest.cpp
            ${CMAKE_CURRENT_LIST_DIR}/QtKeyEventMonitorTest.cpp
    LIBS kelvo_settings_logic kelvo_platform_memory)
endif()
