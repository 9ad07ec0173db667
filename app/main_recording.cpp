// Recording: set-up, block and timer events, pause, stop and the length limit.
#include "main.h"

#include "audio/audio_file.h"
#include "audio/audio_information.h"
#include "audio/lame_enc.h"
#include "clock_text.h"
#include "pulse/audio_record.h"
#include "recording_format.h"
#include "recordlist.h"
#include "settings_file.h"
#include "skin/audio_visualization.h"
#include "skin/skin.h"
#include "sound_trigger.h"
#include "value_lists.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QThread>
#include <utility>

using namespace value_lists;

namespace
{

QString folder_of(const QString &path)
{
    return QFileInfo(path).absolutePath();
}

} // namespace

void Tfm_main::start_recording()
{
    if (!settings_file || !m_list || m_closed || m_starting || m_finishing)
        return;
    m_reconnect_timer.stop(); // a start of its own ends the wait for a server
    option_window();          // its lists choose the line that is recorded
    if (record_paused) {
        record_paused = false;
        AudioRecord->Start();
        m_list->set_image(record_item_index, image_recording);
        emit desktop_changed();
        if (AudioRecord->ErrorCode() != 0)
            capture_failed();
        return;
    }

    recording = true;
    int format_index = 0;
    QString dialog_name;
    if (settings_file->boolean(keys::format::auto_name)) {
        format_index = settings_file->integer(keys::format::format);
    } else {
        const QString initial = settings_file->text(keys::basic::save_path);
        // While the dialog is open the schedule and the other commands wait:
        // there is no file yet to stop or pause.
        m_starting = true;
        const auto choice =
            m_services.dialogs->save_file(this, initial, qt_name_filters(save_dialog_filter()));
        m_starting = false;
        if (!choice || choice->path.isEmpty() || !recording || m_closed || !settings_file) {
            recording = false;
            return;
        }
        settings_file->set_text(keys::basic::save_path, folder_of(choice->path));
        dialog_name = choice->path;
        format_index = choice->filter_index - 1;
    }
    format_index = safe_position(format_index, output_formats.size(), 0);

    if (!set_up_format(format_index, m_extension))
        return;
    m_dialog_name = dialog_name;
    if (settings_file->boolean(keys::trigger::enable)) {
        arm_recording();
        return;
    }
    if (!open_recording_file())
        return;
    start_capture();
}

bool Tfm_main::open_recording_file()
{
    const QString path = output_path(m_extension, m_dialog_name);
    const QString previous_file = current_file;
    const int previous_item = current_item_index;
    current_file = path;
    current_item_index = m_list->count();
    set_label(file_name_label, QFileInfo(path).fileName());

    if (settings_file->boolean(keys::limit::enable)) {
        limit_active = true;
        limit_length_s = settings_file->integer(keys::limit::time);
    } else {
        limit_active = false;
    }

    AudioFileRecord->CreateOutputFile(path, 0);
    if (AudioFileRecord->ErrorCode() != 0) {
        AudioFileRecord->CloseFile();
        // No entry was added: the current file stays the one it was, so that
        // no later command reaches for a row that does not exist.
        current_file = previous_file;
        current_item_index = previous_item;
        // Idle before the box: ticks and clicks handled while it is open see no recording.
        recording = false;
        m_services.dialogs->message_box(this, QStringLiteral("Failed to create file ") + path,
                                        QStringLiteral("Error!"));
        return false;
    }
    m_record_file = path;
    m_recorded_paths.insert(QFileInfo(path).absoluteFilePath());
    m_write_failed = false;
    record_item_index =
        m_list->append_entry(QFileInfo(path).fileName(), path, QStringLiteral("__:__:__"));
    m_list->set_image(record_item_index, image_recording);
    return true;
}

void Tfm_main::start_capture()
{
    AudioRecord->SetWaveFormat(AudioFileRecord->SampleRate(), AudioFileRecord->Channels());
    AudioRecord->setBlockSize(AudioRecord->MillisecondsToSamples(200));
    AudioRecord->Start();
    AudioVisualizationEx->setChannels(AudioFileRecord->Channels());
    AudioVisualizationEx->show();
    AudioVisualizationEx->raise();
    m_services.inhibitor->acquire(m_trigger ? QStringLiteral("Waiting for sound to record")
                                            : QStringLiteral("Recording ") +
                                                  QFileInfo(m_record_file).fileName());
    emit desktop_changed();
    if (AudioRecord->ErrorCode() != 0)
        capture_failed();
}

bool Tfm_main::set_up_format(int format_index, QString &extension)
{
    FormatChecks checks;
    checks.mp3 = [this](uint32_t rate, int kbps, int channels) {
        return AudioFileRecord->CheckMp3Format(rate, kbps, channels);
    };
    checks.ogg = [this](uint32_t rate, int channels, int kbps, int max_kbps, int min_kbps) {
        return AudioFileRecord->CheckOggFormat(rate, channels, kbps, max_kbps, min_kbps);
    };
    const RecordingFormat f = recording_format(*settings_file, format_index, checks);
    if (f.writer == RecordingFormat::Writer::mp3) {
        TAudioFile2LameEnc &enc = *AudioFile2LameEnc;
        enc.setSampleRate(f.sample_rate);
        enc.setBitrate(f.bitrate);
        enc.setChannels(f.channels);
        enc.setQuality(f.quality);
        if (f.vbr_mode == 0) {
            enc.setConstantBitrate(true);
        } else if (f.vbr_mode == 1) {
            enc.setConstantBitrate(false);
            enc.setVbrBitrate(f.vbr_bitrate);
            enc.setVbrQuality(f.vbr_quality);
        }
    }
    if (!f.refusal.isEmpty()) {
        recording = false;
        m_services.dialogs->information(this, f.refusal);
        return false;
    }
    switch (f.writer) {
    case RecordingFormat::Writer::mp3:
        AudioFileRecord->SetMp3Encoder(*AudioFile2LameEnc);
        break;
    case RecordingFormat::Writer::wma:
        AudioFileRecord->SetWmaProfile(f.wma_profile);
        break;
    case RecordingFormat::Writer::wav:
        AudioFileRecord->SetWavFormat(f.sample_rate, f.channels, f.bits_per_sample);
        break;
    case RecordingFormat::Writer::ogg:
        AudioFileRecord->SetOggFormat(f.sample_rate, f.channels, f.bitrate, f.max_bitrate,
                                      f.min_bitrate, f.ogg_quality);
        break;
    case RecordingFormat::Writer::flac:
        AudioFileRecord->SetFlacFormat(f.sample_rate, f.channels,
                                       static_cast<int>(f.bits_per_sample), f.flac_level);
        break;
    case RecordingFormat::Writer::opus:
        AudioFileRecord->SetOpusFormat(f.channels, f.bitrate, f.opus_voice, f.opus_complexity);
        break;
    case RecordingFormat::Writer::none:
        break;
    }
    extension = f.extension;
    if (!f.summary.isEmpty())
        set_label(format_label, f.summary + choose_sources());
    return true;
}

QString Tfm_main::choose_sources()
{
    CaptureSources sources;
    sources.application = settings_file->text(keys::source::application);
    if (settings_file->boolean(keys::source::mix)) {
        sources.mix_source = settings_file->text(keys::source::mix_device);
        sources.mix_level = std::clamp(settings_file->integer(keys::source::mix_level), 0, 100);
    }
    AudioRecord->setSources(sources);
    // The "Format" text says what is recorded besides the line, or instead of it.
    if (!sources.application.isEmpty())
        return QStringLiteral("  (") + sources.application + QLatin1Char(')');
    if (sources.mix_source.isEmpty())
        return {};
    QString name = sources.mix_source;
    for (const auto &[server_name, shown] : AudioRecord->SourceNames())
        if (server_name == sources.mix_source)
            name = shown;
    return QStringLiteral("  + ") + name;
}

QString Tfm_main::output_path(const QString &extension, const QString &dialog_name)
{
    if (!dialog_name.isEmpty()) {
        const QFileInfo chosen(dialog_name);
        const QString base =
            chosen.suffix().isEmpty()
                ? chosen.filePath()
                : chosen.filePath().left(chosen.filePath().size() - chosen.suffix().size() - 1);
        // The files that sound starts one after the other share the name asked for.
        QString path = base + extension;
        for (int n = 2; m_recorded_paths.contains(QFileInfo(path).absoluteFilePath()); ++n)
            path = base + QStringLiteral("_%1").arg(n) + extension;
        return path;
    }
    QString folder = settings_file->text(keys::format::path);
    if (folder.trimmed().isEmpty())
        folder = settings_file->default_text(keys::format::path);
    if (!QFileInfo::exists(folder))
        QDir().mkdir(folder); // one level; a failure shows as "Failed to create file"
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    const QString stamp = m_services.clock->now().toString(QStringLiteral("yyyy-MM-dd_HH;mm;ss"));
    QString path = folder + stamp + extension;
    // Two recordings of this run in one second (a limit roll-over, a quick
    // restart) must not overwrite each other; older files are still replaced.
    for (int n = 2; m_recorded_paths.contains(QFileInfo(path).absoluteFilePath()); ++n)
        path = folder + stamp + QStringLiteral("_%1").arg(n) + extension;
    return path;
}

bool Tfm_main::write_block(const SampleArray &block)
{
    if (m_write_failed)
        return false;
    if (AudioFileRecord->WriteArray(block))
        return true;
    m_write_failed = true;
    m_write_error = AudioFileRecord->ErrorText();
    return false;
}

void Tfm_main::drain_capture()
{
    const auto take_all = [this] {
        for (SampleArray block = AudioRecord->GetArray(); !block.empty();
             block = AudioRecord->GetArray())
            take_block(block);
    };
    // The sound of the moment of the click may still be on its way from the
    // server: wait for it (bounded by the capture component), repainting but
    // keeping clicks and keys until the file is complete.
    for (take_all(); !AudioRecord->Drained(); take_all()) {
        QElapsedTimer waited;
        waited.start();
        QEventLoop loop;
        QTimer::singleShot(10, &loop, &QEventLoop::quit);
        loop.exec(QEventLoop::ExcludeUserInputEvents);
        if (waited.elapsed() < 5) // an application that quits ends every loop at once
            QThread::msleep(10);
    }
    take_all();
}

void Tfm_main::pause_recording()
{
    if (!recording || record_paused || m_starting || m_finishing)
        return;
    if (m_trigger && !m_trigger->file_open())
        return; // waiting for sound: as idle as it looks, nothing to pause
    // Ended first, so the count includes everything this run put in the file.
    m_finishing = true;
    m_stop_owed = false;
    AudioRecord->Pause();
    drain_capture();
    m_finishing = false;
    recorded_before_pause += AudioRecord->RunSamples();
    record_paused = true;
    if (m_list)
        m_list->set_image(record_item_index, image_paused);
    emit desktop_changed();
    if (std::exchange(m_stop_owed, false))
        stop_recording();
}

void Tfm_main::stop_recording()
{
    finish_recording(false);
}

void Tfm_main::roll_over()
{
    m_stop_owed = false;
    finish_recording(true);
    start_recording();
    if (!recording)
        end_scheduled_run();
    if (!std::exchange(m_stop_owed, false) || !recording || m_finishing)
        return;
    // The stop came while the previous file was finished: this file ends at its moment.
    m_finishing = true;
    AudioRecord->StopAt(m_stop_owed_at);
    m_finishing = false;
    finish_recording(false);
}

void Tfm_main::finish_recording(bool split)
{
    if (m_starting) {
        // The save dialog of a start is still open: the start is called off.
        recording = false;
        return;
    }
    if (m_finishing) {
        // Timers and commands run while a split or pause waits for its sound:
        // a stop among them is carried out once that is done, from its own moment.
        if (!split && recording && !m_stop_owed) {
            m_stop_owed = true;
            m_stop_owed_at = AudioRecord->StreamPosition();
        }
        return;
    }
    m_finishing = true;
    // A split keeps the stream running, so the next file goes on with the next sample.
    if (split)
        AudioRecord->Split();
    else
        AudioRecord->Stop();
    drain_capture();
    if (m_trigger)
        run_trigger(m_trigger->finish());
    m_finishing = false;
    if (!split)
        m_stop_owed = false; // one that came during this stop is done with it
    AudioVisualizationEx->ShowArray({});
    // Waiting for sound, a recording may end without a file.
    const bool had_file = !m_trigger || m_trigger->file_open();
    const FileClosed closed = had_file ? close_recording_file() : FileClosed{};
    // No "Waiting for sound" left behind: the last file made, or nothing.
    if (!had_file)
        set_label(file_name_label, m_recorded_paths.size() > m_files_before_arming
                                       ? QFileInfo(m_record_file).fileName()
                                       : QString());
    m_trigger.reset();
    const bool scheduled_end = !split && scheduled_run;
    // A split by the limit goes on with the scheduled run in the next file.
    if (split)
        m_scheduled_before_ms += closed.duration_ms;
    else
        end_scheduled_run();
    recording = false;
    record_paused = false;
    AudioVisualizationEx->hide();
    recorded_before_pause = 0;
    m_services.inhibitor->release();
    emit desktop_changed();
    if (scheduled_end && had_file)
        emit scheduled_ended(m_record_file, closed.duration_ms);
    // Told only now that the recording is over, so that whatever runs while a
    // box is open finds the program idle.
    tell_file_faults(closed);
}

Tfm_main::FileClosed Tfm_main::close_recording_file()
{
    FileClosed closed;
    closed.duration_ms = AudioFileRecord->Duration();
    AudioFileRecord->CloseFile();
    closed.tags_written = write_tags();
    pending_title.clear();
    pending_track = -1;
    if (m_list) {
        m_list->set_length_text(record_item_index, clock_text(closed.duration_ms / 1000));
        m_list->set_image(record_item_index, image_idle);
    }
    return closed;
}

void Tfm_main::tell_file_faults(const FileClosed &closed)
{
    if (m_write_failed)
        report_write_failure();
    else if (!closed.tags_written && closed.duration_ms > 0)
        m_services.dialogs->message_box(this,
                                        QStringLiteral("The tags could not be written into ") +
                                            m_record_file + QLatin1Char('.'),
                                        QStringLiteral("Error!"));
}

bool Tfm_main::write_tags()
{
    AudioInformation->infoTitle = pending_title;
    AudioInformation->infoArtist = pending_artist;
    AudioInformation->infoAlbum = pending_album;
    AudioInformation->infoGenreIndex = pending_genre_index;
    AudioInformation->infoGenreS = pending_genre_text;
    AudioInformation->infoComments = pending_comment;
    // A year or track left over from another file must not land in a new recording.
    AudioInformation->infoYear = pending_year != -1 ? pending_year : 0;
    AudioInformation->infoTrack = static_cast<int16_t>(pending_track != -1 ? pending_track : 0);
    return AudioInformation->WriteToFile(m_record_file);
}

void Tfm_main::report_write_failure()
{
    m_write_failed = false;
    QString text = QStringLiteral("Recording stopped: could not write to ") + m_record_file;
    if (!m_write_error.isEmpty())
        text += QStringLiteral(" (") + m_write_error + QLatin1Char(')');
    text += QStringLiteral(".\nEverything recorded until then has been kept in the file.");
    emit recording_fault(m_record_file, text); // before the box, which waits for the user
    m_services.dialogs->message_box(this, text, QStringLiteral("Error!"));
}

void Tfm_main::AudioRecordEndArrayRecord(QObject *Sender, int nBlock)
{
    Q_UNUSED(Sender);
    Q_UNUSED(nBlock);
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    if (!recording)
        return;
    if (AudioRecord->ErrorCode() != 0) {
        capture_failed();
        return;
    }
    const SampleArray block = AudioRecord->GetArray();
    if (!block.empty() && !take_block(block))
        stop_recording();
}

bool Tfm_main::take_block(const SampleArray &block)
{
    if (m_trigger)
        return run_trigger(m_trigger->feed(block));
    return write_block(block);
}

void Tfm_main::capture_failed()
{
    const int code = AudioRecord->ErrorCode();
    const QString reason = AudioRecord->ErrorText();
    const QString file = m_record_file;
    stop_recording();
    if (code == CaptureBackend::server_lost && !m_closed) {
        // A server that restarts (an update, a crash) usually is back within
        // seconds: the recording goes on into a new file then.
        m_lost_file = file;
        m_lost_reason = reason;
        m_reconnect_clock.start();
        m_reconnect_timer.start();
        return;
    }
    report_capture_failure(file, reason);
}

void Tfm_main::report_capture_failure(const QString &file, const QString &reason)
{
    QString text = QStringLiteral("Recording stopped: ") + reason;
    text += QStringLiteral("\nEverything recorded until then has been kept in ") + file +
            QLatin1Char('.');
    emit recording_fault(file, text);
    m_services.dialogs->message_box(this, text, QStringLiteral("Error!"));
}

void Tfm_main::reconnect_tick()
{
    if (recording || m_closed) {
        m_reconnect_timer.stop();
        return;
    }
    if (AudioRecord->LastDeviceIndex() >= 0) {
        m_reconnect_timer.stop();
        start_recording();
        return;
    }
    if (m_reconnect_clock.elapsed() >= reconnect_wait_ms) {
        m_reconnect_timer.stop();
        report_capture_failure(m_lost_file, m_lost_reason);
    }
}

void Tfm_main::AudioRecordTimer(QObject *Sender, int CurrentSamples, int LevelLeft, int LevelRight)
{
    Q_UNUSED(Sender);
    Q_UNUSED(CurrentSamples);
    Q_UNUSED(LevelLeft);
    Q_UNUSED(LevelRight);
    // A tick still on its way after a pause would count the run twice.
    if (!recording || record_paused)
        return;
    AudioVisualizationEx->ShowArray(AudioRecord->PeekArray(1024 * AudioFileRecord->Channels()));
    if (m_trigger) {
        trigger_tick();
        emit desktop_changed();
        return;
    }
    const int64_t ms =
        AudioRecord->SamplesToMilliseconds(AudioRecord->RunSamples() + recorded_before_pause);
    const int64_t seconds = ms / 1000;
    set_label(time_label, QStringLiteral("00:00:00/") + clock_text(seconds));
    emit desktop_changed(); // the tray's tooltip
    if (scheduled_run && (ms + m_scheduled_before_ms) / 1000 >= scheduled_length_s)
        stop_recording();
    // A WAV file near its 4 GiB goes on in a new file, well before a write
    // could fail (a split still waits up to ~2.5 s for its last sound).
    const int64_t room = AudioFileRecord->RoomSamples();
    if (recording && room >= 0 && room < AudioRecord->MillisecondsToSamples(10000)) {
        roll_over();
        return;
    }
    if (recording && limit_active && seconds >= limit_length_s) {
        const bool next = settings_file && settings_file->boolean(keys::limit::new_file);
        if (next)
            roll_over();
        else
            finish_recording(false);
    }
}
