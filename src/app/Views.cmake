# The Qt Quick views (panel content, cards, settings window), the tray and
# the kelvo executable.
find_package(Qt6 6.4 REQUIRED COMPONENTS Quick Qml QuickControls2 Widgets Svg GLOBAL)

set(KELVO_PANEL_DIR ${PROJECT_SOURCE_DIR}/src/panel)
set(KELVO_SETTINGS_DIR ${PROJECT_SOURCE_DIR}/src/settings)

add_library(kelvo_views STATIC
  ${KELVO_PANEL_DIR}/HistoryListModel.h ${KELVO_PANEL_DIR}/HistoryListModel.cpp
  ${KELVO_PANEL_DIR}/HistoryViewBackend.h ${KELVO_PANEL_DIR}/HistoryViewBackend.cpp
  ${KELVO_PANEL_DIR}/PanelImageProviders.h ${KELVO_PANEL_DIR}/PanelImageProviders.cpp
  ${KELVO_PANEL_DIR}/QmlViews.h ${KELVO_PANEL_DIR}/QmlViews.cpp
  ${KELVO_PANEL_DIR}/QtKeyTranslation.h ${KELVO_PANEL_DIR}/QtKeyTranslation.cpp)
# The real panel window implements the windowing interface of the panel.
if(EXISTS ${PROJECT_SOURCE_DIR}/src/platform/PanelWindow.h)
  target_sources(kelvo_views PRIVATE
    ${KELVO_PANEL_DIR}/QuickPanelWindow.h ${KELVO_PANEL_DIR}/QuickPanelWindow.cpp)
endif()
target_include_directories(kelvo_views PUBLIC ${PROJECT_SOURCE_DIR}/src)
target_link_libraries(kelvo_views PUBLIC kelvo_platform Qt6::Quick Qt6::Qml Qt6::QuickControls2 Qt6::Svg)

file(GLOB KELVO_PANEL_QML CONFIGURE_DEPENDS
  ${KELVO_PANEL_DIR}/qml/*.qml ${KELVO_PANEL_DIR}/qml/qmldir ${KELVO_PANEL_DIR}/icons/*.svg)
qt_add_resources(kelvo_views kelvo_panel_views
  PREFIX /kelvo
  BASE ${KELVO_PANEL_DIR}
  FILES ${KELVO_PANEL_QML})
file(GLOB KELVO_SETTINGS_QML CONFIGURE_DEPENDS
  ${KELVO_SETTINGS_DIR}/qml/*.qml)
if(KELVO_SETTINGS_QML)
  qt_add_resources(kelvo_views kelvo_settings_views
    PREFIX /kelvo/settings
    BASE ${KELVO_SETTINGS_DIR}/qml
    FILES ${KELVO_SETTINGS_QML})
endif()

target_sources(kelvo_views PRIVATE
  ${KELVO_SETTINGS_DIR}/SettingsViewBackend.h ${KELVO_SETTINGS_DIR}/SettingsViewBackend.cpp)
# The settings backend works through the preference bindings and the recorder.
target_link_libraries(kelvo_views PUBLIC kelvo_settings_logic kelvo_translations)

find_package(Qt6 6.4 REQUIRED COMPONENTS Widgets GLOBAL)
if(TARGET kelvo_app_logic AND TARGET kelvo_x11 AND EXISTS ${PROJECT_SOURCE_DIR}/src/platform/x11/X11Pasteboard.h
   AND EXISTS ${PROJECT_SOURCE_DIR}/src/platform/qt/QtStyledTextConverter.h)
  add_executable(kelvo main.cpp PanelViewBackend.h PanelViewBackend.cpp TrayMenu.h TrayMenu.cpp
    QtSaveDialog.h QtSaveDialog.cpp
    ApplicationId.h CommandLine.h CommandLine.cpp DBusService.h DBusService.cpp)
  find_package(Qt6 6.4 REQUIRED COMPONENTS DBus)
  target_compile_definitions(kelvo PRIVATE KELVO_VERSION="${PROJECT_VERSION}")
  target_link_libraries(kelvo PRIVATE kelvo_app_logic kelvo_views kelvo_x11 kelvo_platform Qt6::Widgets Qt6::DBus)
  target_link_libraries(kelvo PRIVATE kelvo_desktop_platform kelvo_freedesktop)
  install(TARGETS kelvo RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()
