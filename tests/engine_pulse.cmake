# engine_pulse_tests: TAudioRecord2 / TAudioPlayer2 over the fakes and over the
# private sound server of scripts/with-pulse.sh (hence the label "pulse").
velquor_add_test(engine_pulse_tests
  SOURCES
    engine_pulse/record_logic_test.cpp
    engine_pulse/player_logic_test.cpp
    engine_pulse/pulse_devices_test.cpp
    engine_pulse/pulse_capture_test.cpp
    engine_pulse/pulse_playback_test.cpp
    engine_pulse/signal_checks.cpp
  LIBS engine_pulse
  LABELS pulse)
target_include_directories(engine_pulse_tests PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/engine_pulse)
