# engine_audio: files, encoders, decoder and tags over LAME, libvorbis, libsndfile,
# FFmpeg and TagLib. Links engine_common (Qt Core); no widgets.
add_library(engine_audio STATIC
  audio_file.cpp audio_decoder.cpp
  mp3_writer.cpp ogg_writer.cpp wav_writer.cpp wma_writer.cpp wma_profiles.cpp
  tags.cpp audio_information.cpp genres.cpp library_messages.cpp library_messages.h
  audio_file.h audio_writer.h audio_decoder.h audio_information.h lame_enc.h genres.h
  mp3_writer.h ogg_writer.h wav_writer.h wma_writer.h wma_profiles.h tags.h)
target_link_libraries(engine_audio PUBLIC engine_common Qt6::Core
  PRIVATE mp3lame PkgConfig::VORBIS PkgConfig::SNDFILE PkgConfig::FFMPEG PkgConfig::TAGLIB)
