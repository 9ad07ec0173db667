# engine_audio_tests: the file components against the real encoders, decoder and
# TagLib; audio_writer_child is the process the crash and full-disk tests kill.
add_executable(audio_writer_child engine_audio/writer_child.cpp engine_audio/audio_test_util.cpp)
target_link_libraries(audio_writer_child PRIVATE engine_audio)

velquor_add_test(engine_audio_tests
  SOURCES engine_audio/audio_test_util.cpp engine_audio/roundtrip_test.cpp
    engine_audio/encoder_params_test.cpp engine_audio/tags_test.cpp
    engine_audio/interrupted_write_test.cpp engine_audio/bad_files_test.cpp
    engine_audio/wav_limit_test.cpp
  LIBS engine_audio
  LABELS audio)
target_compile_definitions(engine_audio_tests PRIVATE
  AUDIO_WRITER_CHILD="$<TARGET_FILE:audio_writer_child>"
  AUDIO_CORPUS_DIR="${CMAKE_CURRENT_SOURCE_DIR}/corpus")
add_dependencies(engine_audio_tests audio_writer_child)

# libFuzzer target for OpenFile/ReadArray and ReadFromFile; needs clang, off by default.
option(VELQUOR_AUDIO_FUZZER "Build the libFuzzer target audio_file_fuzzer (clang only)" OFF)
if(VELQUOR_AUDIO_FUZZER)
  add_executable(audio_file_fuzzer engine_audio/fuzz_audio_file.cpp)
  target_compile_options(audio_file_fuzzer PRIVATE -fsanitize=fuzzer,address)
  target_link_options(audio_file_fuzzer PRIVATE -fsanitize=fuzzer,address)
  target_link_libraries(audio_file_fuzzer PRIVATE engine_audio)
endif()
# The tag tests also write tags the way other programs do, with TagLib itself.
target_link_libraries(engine_audio_tests PRIVATE PkgConfig::TAGLIB)
