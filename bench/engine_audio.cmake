# Audio file benchmarks: encoding cost per format next to the bare libraries,
# playback-style decoding, and memory over a one-hour file.
foreach(b audio_encode_bench audio_decode_bench audio_memory_bench)
  add_executable(${b} ${b}.cpp audio_bench_util.h)
  target_link_libraries(${b} PRIVATE engine_audio benchmark::benchmark Qt6::Core)
endforeach()
target_link_libraries(audio_encode_bench PRIVATE mp3lame PkgConfig::VORBIS PkgConfig::SNDFILE
  PkgConfig::FFMPEG)
