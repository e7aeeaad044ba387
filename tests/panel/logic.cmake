# Selection state, key routing and the floating panel's bookkeeping.
if(TARGET kelvo_panel_logic)
  kelvo_add_test(kelvo_panel_logic_test
    SOURCES
      ${CMAKE_CURRENT_LIST_DIR}/SelectionStateTest.cpp
      ${CMAKE_CURRENT_LIST_DIR}/PanelKeyRoutingTest.cpp
      ${CMAKE_CURRENT_LIST_DIR}/FloatingPanelTest.cpp
    LIBS kelvo_panel_logic kelvo_platform_memory)
endif()
