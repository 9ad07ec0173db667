# engine_pulse: devices, capture and playback over libpulse (TAudioRecord2,
# TAudioPlayer2 and their backends). Links engine_common (Qt Core); no widgets.
add_library(engine_pulse STATIC
  audio_record.cpp audio_player.cpp
  pulse_connection.cpp pulse_devices.cpp pulse_capture.cpp pulse_playback.cpp
  audio_record.h audio_player.h capture_backend.h playback_backend.h
  pulse_connection.h pulse_devices.h pulse_capture.h pulse_playback.h)
target_link_libraries(engine_pulse PUBLIC engine_common Qt6::Core PRIVATE PkgConfig::PULSE)
