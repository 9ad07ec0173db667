# engine_ui: the widgets that draw - the skin engine (TSkin) and the level
# display (TAudioVisualizationEx2). Links engine_common, Qt Widgets and
# libavutil (its FFT only). The default skin is compiled in as a resource.
find_package(Python3 REQUIRED COMPONENTS Interpreter)

set(VELQUOR_SKIN_SOURCE ${CMAKE_CURRENT_LIST_DIR}/../skins/default/skin.json)
set(VELQUOR_SKIN_PACKER ${CMAKE_CURRENT_LIST_DIR}/../tools/skin/pack_skin.py)
# Pictures the skin source embeds with "@file:NAME.png".
file(GLOB VELQUOR_SKIN_ASSETS CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/../skins/default/*.png)

set(builtin_skin ${CMAKE_CURRENT_BINARY_DIR}/builtin_skin/default_skin.json)
add_custom_command(
  OUTPUT ${builtin_skin}
  COMMAND Python3::Interpreter ${VELQUOR_SKIN_PACKER} ${VELQUOR_SKIN_SOURCE} ${builtin_skin}
  DEPENDS ${VELQUOR_SKIN_SOURCE} ${VELQUOR_SKIN_PACKER} ${VELQUOR_SKIN_ASSETS}
  COMMENT "Packing the built-in default skin"
  VERBATIM)

add_library(engine_ui STATIC
  ${CMAKE_CURRENT_LIST_DIR}/audio_visualization.cpp
  ${CMAKE_CURRENT_LIST_DIR}/audio_visualization.h
  ${CMAKE_CURRENT_LIST_DIR}/skin.h
  ${CMAKE_CURRENT_LIST_DIR}/skin.cpp
  ${CMAKE_CURRENT_LIST_DIR}/skin_model.h
  ${CMAKE_CURRENT_LIST_DIR}/skin_parser.cpp
  ${CMAKE_CURRENT_LIST_DIR}/skin_parser.h
  ${CMAKE_CURRENT_LIST_DIR}/skin_parser_values.cpp
  ${CMAKE_CURRENT_LIST_DIR}/skin_parser_values.h
  ${CMAKE_CURRENT_LIST_DIR}/skin_glyph.cpp
  ${CMAKE_CURRENT_LIST_DIR}/skin_glyph.h
  ${CMAKE_CURRENT_LIST_DIR}/skin_painter.cpp
  ${CMAKE_CURRENT_LIST_DIR}/skin_painter.h
  ${CMAKE_CURRENT_LIST_DIR}/skin_surface.cpp
  ${CMAKE_CURRENT_LIST_DIR}/skin_surface.h)
set_source_files_properties(${builtin_skin} PROPERTIES GENERATED TRUE)
qt_add_resources(engine_ui velquor_builtin_skin
  PREFIX /velquor
  BASE ${CMAKE_CURRENT_BINARY_DIR}/builtin_skin
  FILES ${builtin_skin})
target_link_libraries(engine_ui PUBLIC engine_common Qt6::Widgets PRIVATE PkgConfig::FFMPEG)
