# Main-window benchmarks: start-up time (process start to window shown), the
# block event's cost on the user-interface thread, memory over a long recording.
# They live beside the program so they find its skin file.
find_package(Qt6 REQUIRED COMPONENTS Test)
foreach(b app_startup_bench app_recording_bench)
  add_executable(${b} ${b}.cpp)
  target_link_libraries(${b} PRIVATE velquor_app benchmark::benchmark Qt6::Test)
  target_include_directories(${b} PRIVATE ${CMAKE_SOURCE_DIR}/tests/fakes ${CMAKE_CURRENT_SOURCE_DIR})
  set_target_properties(${b} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/app)
  add_dependencies(${b} velquor_skin)
endforeach()

# The soak scripts' recorder (scripts/soak/).
add_executable(record_soak record_soak.cpp)
target_link_libraries(record_soak PRIVATE velquor_app)
set_target_properties(record_soak PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/app)
add_dependencies(record_soak velquor_skin)

# Renders the README's screenshot (tools/screenshot_tour.cpp); not built by default.
add_executable(screenshot_tour EXCLUDE_FROM_ALL ${CMAKE_SOURCE_DIR}/tools/screenshot_tour.cpp)
target_link_libraries(screenshot_tour PRIVATE velquor_app)
set_target_properties(screenshot_tour PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/app)
