#pragma once
// Every key of velquor.ini, declared once: its section, name, kind and the
// default the program uses when the key is not stored. Every reader and
// writer names its key through this table (SettingsFile::integer, set_text,
// ...), so the settings dialog shows for a missing key exactly what a
// recording does with it, and "Ok" on an untouched dialog changes nothing.
//
// A key that two readers must read differently says why in `note`.

#include <array>

namespace keys
{

enum class Kind { integer, boolean, text, date, time };

// Defaults that depend on the account or the moment of reading.
enum class Dynamic {
    none,
    music_folder,    // the user's music folder (~/Music)
    recorder_folder, // "My Recorder" in the home folder
    program_folder,  // the folder of the executable
    today,
    now,
};

struct Key {
    const char *section;
    const char *name;
    Kind kind;
    int number = 0; // default of an integer or boolean key
    Dynamic dynamic = Dynamic::none;
    bool dialog = false; // written by the settings dialog's "Ok"
    const char *note = nullptr;
};

// clang-format off
namespace source {
inline constexpr Key source{"source", "source", Kind::integer, 0, Dynamic::none, true};
inline constexpr Key device{"source", "device", Kind::integer, 1, Dynamic::none, true};
// Server names: positions move when devices come and go, names do not.
inline constexpr Key device_name{"source", "device name", Kind::text, 0, Dynamic::none, true};
inline constexpr Key line_name{"source", "line name", Kind::text, 0, Dynamic::none, true};
// A second source mixed in at its level (percent), by its server name.
inline constexpr Key mix{"source", "mix", Kind::boolean, 0, Dynamic::none, true};
inline constexpr Key mix_device{"source", "mix device name", Kind::text, 0, Dynamic::none, true};
inline constexpr Key mix_level{"source", "mix level", Kind::integer, 100, Dynamic::none, true};
// One application's playback alone (its application.name); empty: the line.
inline constexpr Key application{"source", "application", Kind::text, 0, Dynamic::none, true};
} // namespace source

namespace schedule {
inline constexpr Key mode{"schedule", "schedule", Kind::integer, 0, Dynamic::none, true};
inline constexpr Key special_day{"schedule", "special day", Kind::date, 0, Dynamic::today, true};
inline constexpr Key begin_time{"schedule", "begin time", Kind::time, 0, Dynamic::now, true};
inline constexpr Key end_time{"schedule", "end time", Kind::time, 0, Dynamic::now, true};
} // namespace schedule

namespace limit {
inline constexpr Key enable{"limit", "enable limit", Kind::boolean, 0, Dynamic::none, true};
inline constexpr Key time{"limit", "time", Kind::integer, 180, Dynamic::none, true};
inline constexpr Key stop{"limit", "stop", Kind::boolean, 0, Dynamic::none, true};
inline constexpr Key new_file{"limit", "new", Kind::boolean, 0, Dynamic::none, true};
} // namespace limit

namespace format {
inline constexpr Key auto_name{"format", "auto name", Kind::boolean, 1, Dynamic::none, true};
inline constexpr Key format{"format", "format", Kind::integer, 0, Dynamic::none, true};
inline constexpr Key path{"format", "path", Kind::text, 0, Dynamic::music_folder, true};
} // namespace format

namespace basic {
inline constexpr Key save_path{"basic", "save path", Kind::text, 0, Dynamic::recorder_folder};
inline constexpr Key path{"basic", "path", Kind::text, 0, Dynamic::program_folder};
// An icon in the desktop's tray while the program runs; read at start and at the dialog's Ok.
inline constexpr Key tray{"basic", "tray", Kind::boolean, 1, Dynamic::none, true};
} // namespace basic

namespace playlist {
inline constexpr Key file_path{"playlist", "file path", Kind::text, 0, Dynamic::program_folder};
} // namespace playlist

namespace mp3 {
inline constexpr Key bitrate{"mp3", "bitrate", Kind::integer, 11, Dynamic::none, true};
inline constexpr Key channel{"mp3", "channel", Kind::integer, 1, Dynamic::none, true};
inline constexpr Key frequency{"mp3", "frequency", Kind::integer, 7, Dynamic::none, true};
inline constexpr Key quality{"mp3", "quality", Kind::integer, 9, Dynamic::none, true};
inline constexpr Key enable_vbr{"mp3", "enable vbr", Kind::boolean, 0, Dynamic::none, true,
    "the recording reads it as a number: 0 constant, 1 variable, others leave the encoder as it was"};
inline constexpr Key vbr_bitrate{"mp3", "vbr bitrate", Kind::integer, 11, Dynamic::none, true};
inline constexpr Key vbr_quality{"mp3", "vbr quality", Kind::integer, 9, Dynamic::none, true};
} // namespace mp3

namespace wma {
inline constexpr Key format{"wma", "format", Kind::integer, 9, Dynamic::none, true};
} // namespace wma

namespace wav {
inline constexpr Key mode{"wav", "mode", Kind::integer, 0, Dynamic::none, true};
inline constexpr Key bit{"wav", "bit", Kind::integer, 1, Dynamic::none, true};
inline constexpr Key channel{"wav", "channel", Kind::integer, 1, Dynamic::none, true};
inline constexpr Key frequency{"wav", "frequency", Kind::integer, 7, Dynamic::none, true};
} // namespace wav

namespace ogg {
inline constexpr Key channel{"ogg", "channel", Kind::integer, 1, Dynamic::none, true};
inline constexpr Key frequency{"ogg", "frequency", Kind::integer, 7, Dynamic::none, true};
inline constexpr Key bitrate{"ogg", "bitrate", Kind::integer, 11, Dynamic::none, true};
inline constexpr Key max_bitrate{"ogg", "max bitrate", Kind::integer, 11, Dynamic::none, true};
inline constexpr Key min_bitrate{"ogg", "min bitrate", Kind::integer, 11, Dynamic::none, true};
inline constexpr Key enable_quality{"ogg", "enable quality", Kind::boolean, 0, Dynamic::none, true};
inline constexpr Key quality{"ogg", "quality", Kind::integer, 300, Dynamic::none, true};
} // namespace ogg

namespace flac {
inline constexpr Key frequency{"flac", "frequency", Kind::integer, 7, Dynamic::none, true};
inline constexpr Key channel{"flac", "channel", Kind::integer, 1, Dynamic::none, true};
inline constexpr Key bit{"flac", "bit", Kind::integer, 0, Dynamic::none, true}; // 0 16, 1 24
inline constexpr Key level{"flac", "level", Kind::integer, 5, Dynamic::none, true};
} // namespace flac

namespace opus {
inline constexpr Key bitrate{"opus", "bitrate", Kind::integer, 64, Dynamic::none, true}; // kbit/s
inline constexpr Key channel{"opus", "channel", Kind::integer, 1, Dynamic::none, true};
inline constexpr Key application{"opus", "application", Kind::integer, 0, Dynamic::none, true};
inline constexpr Key complexity{"opus", "complexity", Kind::integer, 10, Dynamic::none, true};
} // namespace opus

namespace trigger {
inline constexpr Key enable{"trigger", "enable", Kind::boolean, 0, Dynamic::none, true};
inline constexpr Key start_level{"trigger", "start level", Kind::integer, -40, Dynamic::none, true}; // dB
inline constexpr Key start_after{"trigger", "start after", Kind::integer, 100, Dynamic::none, true}; // ms
inline constexpr Key pre_record{"trigger", "pre record", Kind::integer, 2, Dynamic::none, true}; // s
inline constexpr Key silence_level{"trigger", "silence level", Kind::integer, -50, Dynamic::none, true};
inline constexpr Key silence_time{"trigger", "silence time", Kind::integer, 5, Dynamic::none, true}; // s
// 0 pause until sound comes back, 1 stop, 2 finish the file and wait for the next sound
inline constexpr Key on_silence{"trigger", "on silence", Kind::integer, 0, Dynamic::none, true};
} // namespace trigger

// The whole table, for what walks every key (tests, tools).
inline constexpr std::array all{
    &source::source, &source::device, &source::device_name, &source::line_name,
    &source::mix, &source::mix_device, &source::mix_level, &source::application,
    &schedule::mode, &schedule::special_day, &schedule::begin_time, &schedule::end_time,
    &limit::enable, &limit::time, &limit::stop, &limit::new_file,
    &format::auto_name, &format::format, &format::path,
    &basic::save_path, &basic::path, &basic::tray, &playlist::file_path,
    &mp3::bitrate, &mp3::channel, &mp3::frequency, &mp3::quality, &mp3::enable_vbr,
    &mp3::vbr_bitrate, &mp3::vbr_quality,
    &wma::format,
    &wav::mode, &wav::bit, &wav::channel, &wav::frequency,
    &ogg::channel, &ogg::frequency, &ogg::bitrate, &ogg::max_bitrate, &ogg::min_bitrate,
    &ogg::enable_quality, &ogg::quality,
    &flac::frequency, &flac::channel, &flac::bit, &flac::level,
    &opus::bitrate, &opus::channel, &opus::application, &opus::complexity,
    &trigger::enable, &trigger::start_level, &trigger::start_after, &trigger::pre_record,
    &trigger::silence_level, &trigger::silence_time, &trigger::on_silence,
};
// clang-format on

} // namespace keys
