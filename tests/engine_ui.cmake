# engine_ui_tests: the skin engine and the level display, on real widgets
# (offscreen platform), with the real built-in skin and the built skin file.
find_package(Qt6 REQUIRED COMPONENTS Test)
velquor_add_test(engine_ui_tests
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/engine_ui/skin_test_util.h
    ${CMAKE_CURRENT_LIST_DIR}/engine_ui/skin_parser_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/engine_ui/skin_widget_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/engine_ui/audio_visualization_test.cpp
  LIBS engine_ui Qt6::Test
  LABELS ui)
target_compile_definitions(engine_ui_tests PRIVATE VELQUOR_BUILT_SKIN="${CMAKE_BINARY_DIR}/app/mp3dec.dll")
if(TARGET velquor_skin)
  add_dependencies(engine_ui_tests velquor_skin)
endif()
