// Playback: start, pause, resume and stop of the current file, feeding the
// player block by block, the time display and the seek bar, and the "Open"
// command that probes a picked file, lists it and plays it.
#include "main.h"

#include "audio/audio_file.h"
#include "clock_text.h"
#include "pulse/audio_player.h"
#include "recordlist.h"
#include "settings_file.h"
#include "skin/audio_visualization.h"
#include "skin/skin.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <algorithm>
#include <limits>

namespace
{

constexpr int block_samples = 4410;
constexpr int bar_scale = 1000;
constexpr int seek_step_ms = 5000;
constexpr int seek_page_ms = 30000;
const QString play_bar_name = QStringLiteral("Play Bar");

// a * b / c in 64 bits, rounded to nearest with halves away from zero; -1
// for a zero divisor or a quotient past 32 bits.
int32_t mul_div(int64_t a, int64_t b, int64_t c)
{
    const int64_t product = a * b;
    const int64_t n = product < 0 ? -product : product;
    const int64_t d = c < 0 ? -c : c;
    if (d == 0)
        return -1;
    const int64_t q = ((product < 0) != (c < 0) ? -1 : 1) * ((n + d / 2) / d);
    if (q > std::numeric_limits<int32_t>::max() || q < std::numeric_limits<int32_t>::min())
        return -1;
    return static_cast<int32_t>(q);
}

QString channel_text(int channels)
{
    if (channels == 1)
        return QStringLiteral("Mono");
    if (channels == 2)
        return QStringLiteral("Stereo");
    return QStringLiteral("%1 ch").arg(channels);
}

} // namespace

QString Tfm_main::format_summary(const QString &path, const TAudioFile2 &file)
{
    QString code = QFileInfo(path).suffix().toUpper();
    // The four-letter formats keep their names; the others show three letters.
    if (code != QLatin1String("FLAC") && code != QLatin1String("OPUS"))
        code = code.left(3);
    // A name without an extension still says what it is: the decoder knows.
    if (code.isEmpty())
        code = file.FormatCode();
    const QString head =
        code +
        QStringLiteral("  %1 Hz  %2  ").arg(file.SampleRate()).arg(channel_text(file.Channels()));
    if (code == QLatin1String("WAV") || code == QLatin1String("FLAC"))
        return head + QStringLiteral("%1 BIT").arg(file.BitsPerSample());
    return head + QStringLiteral("%1 KBPS").arg(file.Bitrate() / 1000);
}

QString Tfm_main::file_to_play() const
{
    if (current_item_index != -1)
        return current_file;
    // Nothing listed yet (an "Open" whose file could not be read): the
    // current file is the only one there is.
    return play_file.isEmpty() ? current_file : play_file;
}

int Tfm_main::play_row() const
{
    // The image goes only on the row that holds the file being played, so a
    // stale index never marks another file.
    if (!m_list || m_list->path_of(play_item_index) != play_file)
        return -1;
    return play_item_index;
}

void Tfm_main::set_play_image(int image)
{
    if (const int row = play_row(); row >= 0)
        m_list->set_image(row, image);
}

void Tfm_main::refuse_play_file(const QString &suffix)
{
    if (AudioFilePlay->IsOpen())
        AudioFilePlay->CloseFile();
    m_services.dialogs->information(this, play_file + suffix);
}

bool Tfm_main::seek_play_file(int position)
{
    // A seek may reopen the file; one deleted or replaced while playing must
    // end playback with a word, not with the restart question.
    try {
        AudioFilePlay->Seek(position, 3);
        return true;
    } catch (const EngineError &) {
        playing = true; // so that the stop below runs in every state
        stop_playback();
        m_services.dialogs->information(this,
                                        play_file + (QFileInfo::exists(play_file)
                                                         ? QStringLiteral(" is an invalid file.")
                                                         : QStringLiteral(" has been removed.")));
        return false;
    }
}

void Tfm_main::start_playback()
{
    if (current_file.isEmpty() || recording || m_closed)
        return;
    if (play_paused) {
        play_paused = false;
        set_play_image(image_playing);
        AudioPlayer->Play();
        feed_player();
        feed_player();
        emit desktop_changed();
        return;
    }
    if (playing)
        stop_playback();
    if (AudioFileRecord->IsOpen())
        AudioFileRecord->CloseFile();
    const QString next = file_to_play();
    if (current_item_index != -1)
        play_item_index = current_item_index;
    else if (play_file.isEmpty())
        play_item_index = -1;
    play_file = next;
    if (!QFileInfo::exists(play_file)) {
        m_services.dialogs->information(this, play_file + QStringLiteral(" has been removed."));
        return;
    }
    set_label(file_name_label, QFileInfo(play_file).fileName());
    // An unreadable file is the user's to know about, not a program error.
    try {
        AudioFilePlay->OpenFile(play_file, 0, 1);
    } catch (const EngineError &) {
        refuse_play_file(QStringLiteral(" is an invalid file."));
        return;
    }
    if (AudioFilePlay->TotalSamples() == 0) {
        refuse_play_file(QStringLiteral(" is an invalid file."));
        return;
    }
    set_label(format_label, format_summary(play_file, *AudioFilePlay));
    play_offset = 0;
    const int duration_ms = AudioFilePlay->Duration();
    play_length_s = duration_ms / 1000;
    play_length_text = clock_text(play_length_s);
    m_play_length_ms = duration_ms;
    if (play_bar) {
        play_bar->SetEnabled(true);
        // The keys move 5 s and 30 s of this file, at least one step of the bar.
        play_bar->SetSteps(mul_div(seek_step_ms, bar_scale, std::max(duration_ms, 1)),
                           mul_div(seek_page_ms, bar_scale, std::max(duration_ms, 1)));
    }
    try {
        AudioPlayer->SetWaveFormat(AudioFilePlay->SampleRate(), AudioFilePlay->Channels());
    } catch (const EngineError &) {
        // A format the sound output cannot take: the file is not playable here.
        if (play_bar) {
            play_bar->SetPosition(0);
            play_bar->SetEnabled(false);
        }
        refuse_play_file(QStringLiteral(" is an invalid file."));
        return;
    }
    if (!seek_play_file(0))
        return;
    AudioPlayer->Play();
    playing = true;
    set_play_image(image_playing);
    if (const int row = play_row(); row >= 0) {
        m_list->select(row);
        if (m_list->isVisible())
            m_list->focus();
    }
    AudioVisualizationEx->setChannels(AudioFilePlay->Channels());
    AudioVisualizationEx->show();
    AudioVisualizationEx->raise();
    feed_player();
    feed_player();
    emit desktop_changed();
}

void Tfm_main::feed_player()
{
    // Events of a run that has ended must not queue an end mark for the next.
    if (!playing || !AudioFilePlay->IsOpen())
        return;
    AudioPlayer->PlayArray(AudioFilePlay->ReadArray(block_samples));
}

void Tfm_main::AudioPlayerEndArrayPlay(QObject *Sender)
{
    Q_UNUSED(Sender);
    feed_player();
}

void Tfm_main::AudioPlayerRequestOnLoadArray(QObject *Sender)
{
    Q_UNUSED(Sender);
    feed_player();
}

void Tfm_main::AudioPlayerTimer(QObject *Sender, int CurrentSamples, int LevelLeft, int LevelRight)
{
    Q_UNUSED(Sender);
    Q_UNUSED(LevelLeft);
    Q_UNUSED(LevelRight);
    if (!playing || play_paused)
        return;
    AudioVisualizationEx->ShowArray(AudioPlayer->PeekArray(1024 * AudioFilePlay->Channels()));
    const int ms =
        AudioPlayer->SamplesToMilliseconds(static_cast<int64_t>(CurrentSamples) + play_offset);
    const int s = ms / 1000;
    set_label(time_label, clock_text(s) + QLatin1Char('/') + play_length_text);
    emit desktop_changed(); // the tray's and the player's position
    if (!play_bar)
        return;
    // Under a second long, whole seconds never move: follow the milliseconds.
    const int position = play_length_s > 0 ? mul_div(s, bar_scale, play_length_s)
                                           : mul_div(ms, bar_scale, m_play_length_ms);
    play_bar->SetPosition(std::clamp(position, 0, bar_scale));
    play_bar->Redraw();
}

void Tfm_main::pause_playback()
{
    if (!playing || play_paused)
        return;
    AudioPlayer->Stop();
    play_offset += AudioPlayer->PlayedSamples();
    // The reader ran ahead by what was queued and buffered; take it back to
    // what was heard, so the resume neither skips nor repeats.
    set_play_image(image_paused);
    play_paused = true;
    seek_play_file(play_offset);
    emit desktop_changed();
}

void Tfm_main::end_playback()
{
    if (AudioFilePlay->IsOpen())
        AudioFilePlay->CloseFile();
    AudioPlayer->Stop();
    AudioVisualizationEx->ShowArray({});
    play_offset = 0;
}

void Tfm_main::stop_playback()
{
    if (!playing)
        return;
    end_playback();
    set_label(time_label, QStringLiteral("00:00:00/") + play_length_text);
    reset_play_state();
}

void Tfm_main::reset_play_state()
{
    if (play_bar) {
        play_bar->SetPosition(0);
        play_bar->SetEnabled(false);
    }
    playing = false;
    play_paused = false;
    set_play_image(image_idle);
    AudioVisualizationEx->hide();
    emit desktop_changed();
}

void Tfm_main::AudioPlayerEndPlay(QObject *Sender)
{
    Q_UNUSED(Sender);
    const bool failed = AudioPlayer->ErrorCode() != 0;
    end_playback();
    reset_play_state();
    if (failed)
        m_services.dialogs->message_box(this,
                                        QStringLiteral("The sound output failed while playing ") +
                                            play_file + QLatin1Char('.'),
                                        QStringLiteral("Error!"));
}

void Tfm_main::SkinMouseDown(TSkin *Sender, ISkinObject *Source, int Button, int x, int y)
{
    Q_UNUSED(Sender);
    Q_UNUSED(Button);
    Q_UNUSED(x);
    Q_UNUSED(y);
    if (!Source || Source->Name() != play_bar_name)
        return;
    AudioPlayer->Stop();
}

void Tfm_main::SkinScrollTrack(TSkin *Sender, ISkinObject *Source, int NewPos)
{
    Q_UNUSED(Sender);
    if (!Source || Source->Name() != play_bar_name)
        return;
    const int p = std::min(NewPos, bar_scale);
    const int s = mul_div(p, play_length_s, bar_scale);
    set_label(time_label, clock_text(s) + QLatin1Char('/') + play_length_text);
}

void Tfm_main::SkinMouseUp(TSkin *Sender, ISkinObject *Source, int Button, int x, int y)
{
    Q_UNUSED(Sender);
    Q_UNUSED(Button);
    Q_UNUSED(x);
    Q_UNUSED(y);
    if (!Source || Source->Name() != play_bar_name || !play_bar)
        return;
    const int p = play_bar->GetPosition();
    if (p >= bar_scale) {
        stop_playback();
        return;
    }
    if (!AudioFilePlay->IsOpen())
        return;
    seek_to_sample(std::max(mul_div(p, AudioFilePlay->TotalSamples(), bar_scale), 0));
    if (m_list && m_list->isVisible())
        m_list->focus();
}

bool Tfm_main::seek_to_sample(int32_t offset)
{
    const int channels = std::max(AudioFilePlay->Channels(), 1);
    play_offset = offset - offset % channels; // a whole frame, as the reader counts
    if (!seek_play_file(play_offset))
        return false;
    if (!play_paused)
        AudioPlayer->Play();
    emit seeked(AudioPlayer->SamplesToMilliseconds(play_offset));
    return true;
}

void Tfm_main::seek_playback_ms(int64_t ms)
{
    if (!playing || !AudioFilePlay->IsOpen())
        return;
    if (ms >= m_play_length_ms) {
        stop_playback();
        return;
    }
    // The stream stops first, as for a drag of the bar.
    AudioPlayer->Stop();
    const int64_t frames = std::max<int64_t>(ms, 0) * AudioFilePlay->SampleRate() / 1000;
    seek_to_sample(static_cast<int32_t>(std::min<int64_t>(
        frames * std::max(AudioFilePlay->Channels(), 1), AudioFilePlay->TotalSamples())));
}

void Tfm_main::open_command()
{
    if (!settings_file)
        return;
    const QString initial = settings_file->text(keys::basic::path);
    const std::optional<QString> picked = m_services.dialogs->open_file(this, initial);
    if (!picked || picked->isEmpty() || !settings_file || recording)
        return;
    settings_file->set_text(keys::basic::path, QFileInfo(*picked).absolutePath());
    open_path(*picked);
}

void Tfm_main::open_path(const QString &path)
{
    // The probe below uses the recorder's file.
    if (!settings_file || recording)
        return;
    current_file = path;
    const QString invalid = path + QStringLiteral(" is an invalid audio file!");
    try {
        AudioFileRecord->OpenFile(path, 0, 1);
    } catch (const EngineError &) {
        AudioFileRecord->CloseFile();
        m_services.dialogs->message_box(this, invalid, QStringLiteral("Information"));
        return;
    }
    if (AudioFileRecord->TotalSamples() == 0) {
        AudioFileRecord->CloseFile();
        m_services.dialogs->message_box(this, invalid, QStringLiteral("Information"));
        return;
    }
    const QString length = clock_text(AudioFileRecord->Duration() / 1000);
    AudioFileRecord->CloseFile();
    if (!m_list)
        return;
    m_list->append_entry(QFileInfo(path).fileName(), path, length);
    current_item_index = m_list->count() - 1;
    // A paused file would otherwise resume in place of the one just opened.
    if (play_paused)
        stop_playback();
    start_playback();
}
