# The settings window's content and its backend (offscreen platform).
if(TARGET kelvo_views)
  find_package(Qt6 6.4 REQUIRED COMPONENTS Test QuickTest)
  kelvo_add_test(kelvo_settings_view_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/SettingsViewTest.cpp
    LIBS kelvo_views kelvo_settings_logic kelvo_platform_memory Qt6::Test Qt6::QuickTest
    LABELS views)
endif()
