# engine_ui_tests: the skin engine and the level display, on real widgets
# (offscreen platform), with the real built-in skin, the built skin file, a
# skin packed by the build's own packer, and the documented example skin.
find_package(Qt6 REQUIRED COMPONENTS Test)
find_package(Python3 REQUIRED COMPONENTS Interpreter)

set(packed_fixture ${CMAKE_CURRENT_BINARY_DIR}/engine_ui/embed_skin.packed.json)
set(fixture_dir ${CMAKE_CURRENT_LIST_DIR}/engine_ui/fixtures)
add_custom_command(
  OUTPUT ${packed_fixture}
  COMMAND Python3::Interpreter ${CMAKE_CURRENT_LIST_DIR}/../tools/skin/pack_skin.py
          ${fixture_dir}/embed_skin.json ${packed_fixture}
  DEPENDS ${fixture_dir}/embed_skin.json ${fixture_dir}/red8.png ${fixture_dir}/blue16.png
          ${CMAKE_CURRENT_LIST_DIR}/../tools/skin/pack_skin.py
  VERBATIM)

velquor_add_test(engine_ui_tests
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/engine_ui/skin_test_util.h
    ${CMAKE_CURRENT_LIST_DIR}/engine_ui/skin_parser_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/engine_ui/skin_widget_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/engine_ui/audio_visualization_test.cpp
    ${packed_fixture}
  LIBS engine_ui Qt6::Test
  LABELS ui)
target_compile_definitions(engine_ui_tests PRIVATE
  VELQUOR_BUILT_SKIN="${CMAKE_BINARY_DIR}/app/mp3dec.dll"
  VELQUOR_PACKED_FIXTURE="${packed_fixture}"
  VELQUOR_SKIN_FORMAT_DOC="${CMAKE_CURRENT_LIST_DIR}/../docs/skin-format.md")
if(TARGET velquor_skin)
  add_dependencies(engine_ui_tests velquor_skin)
endif()
