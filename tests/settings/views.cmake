# The settings window's content and its backend, and the Qt key monitor the
# recorder uses in the program, with the program's key translation
# (offscreen platform).
if(TARGET kelvo_views)
  find_package(Qt6 6.4 REQUIRED COMPONENTS Test QuickTest)
  kelvo_add_test(kelvo_settings_view_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/SettingsViewTest.cpp ${CMAKE_CURRENT_LIST_DIR}/QtKeyEventMonitorTest.cpp
    LIBS kelvo_views kelvo_settings_logic kelvo_platform_memory Qt6::Test Qt6::QuickTest
    LABELS views)
endif()
