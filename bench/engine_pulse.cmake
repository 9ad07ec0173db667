# pulse_bench: user-interface cost of a capture block (fake backend) and CPU
# per minute of real capture and playback (run under scripts/with-pulse.sh).
add_executable(pulse_bench pulse_bench.cpp)
target_include_directories(pulse_bench PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/../tests)
target_link_libraries(pulse_bench PRIVATE engine_pulse benchmark::benchmark Qt6::Core)
