# Qt Quick tests of the history view and the cards (offscreen platform).
if(TARGET kelvo_views)
  find_package(Qt6 6.4 REQUIRED COMPONENTS Test QuickTest)
  kelvo_add_test(kelvo_history_view_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/HistoryViewTest.cpp ${CMAKE_CURRENT_LIST_DIR}/FakeHistoryBackend.h
            ${CMAKE_CURRENT_LIST_DIR}/QuickTestSupport.h
    LIBS kelvo_views kelvo_panel_logic Qt6::Test Qt6::QuickTest
    LABELS views)
  kelvo_add_test(kelvo_panel_window_view_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/PanelWindowViewTest.cpp ${CMAKE_CURRENT_LIST_DIR}/FakeHistoryBackend.h
            ${CMAKE_CURRENT_LIST_DIR}/QuickTestSupport.h
    LIBS kelvo_views kelvo_panel_logic Qt6::Test Qt6::QuickTest
    LABELS views)
  if(TARGET kelvo_x11)
    kelvo_add_test(kelvo_search_field_selection_test
      SOURCES ${CMAKE_CURRENT_LIST_DIR}/SearchFieldSelectionTest.cpp ${CMAKE_CURRENT_LIST_DIR}/FakeHistoryBackend.h
      LIBS kelvo_views kelvo_panel_logic kelvo_x11 Qt6::Test Qt6::QuickTest
      LABELS x11)
  endif()
  kelvo_add_test(kelvo_history_list_model_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/HistoryListModelTest.cpp
    LIBS kelvo_views Qt6::Test Qt6::QuickTest
    LABELS views)
endif()
