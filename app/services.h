#pragma once
// What the main window needs from the desktop beyond the audio engine: the
// clock, the user's dialogs, the sleep inhibitor and where its files are.
// Each has a real implementation; tests hand in their own to answer dialogs
// and to set the time. All are used on the user-interface thread.

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>

#include "pulse/capture_backend.h"
#include "pulse/playback_backend.h"

class QWidget;

class Clock
{
public:
    virtual ~Clock() = default;
    // The local wall clock, with its time zone.
    virtual QDateTime now() const = 0;
};

class Dialogs
{
public:
    virtual ~Dialogs() = default;
    struct SaveChoice {
        QString path;
        int filter_index = 1; // 1-based, in the order of the filter
    };
    // The save dialog; nullopt when the user cancels.
    virtual std::optional<SaveChoice> save_file(QWidget *parent, const QString &initial_folder,
                                                const QString &filter) = 0;
    // The open dialog for one existing file, no filter; nullopt when cancelled.
    virtual std::optional<QString> open_file(QWidget *parent, const QString &initial_folder) = 0;
    // The open dialog, several files at once; nullopt when the user cancels.
    // `filter` is in QFileDialog's form ("text (*.a *.b);;...").
    virtual std::optional<QStringList> open_files(QWidget *parent, const QString &initial_folder,
                                                  const QString &filter) = 0;
    // A message dialog of the information kind, one OK button.
    virtual void information(QWidget *parent, const QString &text) = 0;
    // A plain message box with a caption and one OK button.
    virtual void message_box(QWidget *parent, const QString &text, const QString &caption) = 0;
    // Yes/No: true for Yes.
    virtual bool ask_yes_no(QWidget *parent, const QString &text) = 0;
};

// Keeps the desktop from suspending while held.
class SleepInhibitor
{
public:
    virtual ~SleepInhibitor() = default;
    // False when no inhibitor could be taken (no D-Bus, no login manager);
    // the caller carries on without it.
    virtual bool acquire(const QString &why) = 0;
    virtual void release() = 0;
    virtual bool held() const = 0;
};

struct Services {
    std::unique_ptr<CaptureBackend> capture;   // null: the real sound server
    std::unique_ptr<PlaybackBackend> playback; // null: the real sound server
    std::unique_ptr<Clock> clock;
    std::unique_ptr<Dialogs> dialogs;
    std::unique_ptr<SleepInhibitor> inhibitor;
    QString program_folder;        // empty: the folder of the executable
    std::function<void()> restart; // empty: start this executable again

    // Fills every empty member with the real implementation.
    void complete();
};
