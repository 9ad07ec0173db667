#pragma once
// The settings-file object: typed reads and writes of one key of one section
// of "velquor.ini", each reader passing its own default. Opened by bare name:
// the file lives in the user's configuration folder ($XDG_CONFIG_HOME), one
// fixed place for every copy of the program. No cache: every read goes to the
// file, every write reaches it before the call returns. Writes throw
// SettingsWriteError ("Unable to write to velquor.ini").
//
// Encodings: integers as decimal ("0x" + hex also read); booleans as 1/0 and
// read as integers (non-zero is true, a non-number the default); dates in the
// regional short date format and times in the regional long time format
// (without a time zone), the same format for writing and reading. A
// two-digit-year short format is written with the full year, and a two-digit
// year that is read lands within 50 years of today, not in the 1900s.

#include "ini_file.h"
#include "settings_keys.h"

#include <QDate>
#include <QLocale>
#include <QString>
#include <QTime>

class SettingsFile
{
public:
    explicit SettingsFile(const QString &bare_name, const QLocale &locale = QLocale::system());
    // A settings file in a given folder: for tests and tools.
    SettingsFile(const QString &bare_name, const QString &folder, const QLocale &locale);

    QString path() const { return m_ini.path(); }
    static QString default_folder();

    QString read_string(const QString &section, const QString &key, const QString &def) const;
    int read_integer(const QString &section, const QString &key, int def) const;
    bool read_bool(const QString &section, const QString &key, bool def) const;
    QDate read_date(const QString &section, const QString &key, const QDate &def) const;
    QTime read_time(const QString &section, const QString &key, const QTime &def) const;

    // Through the key table (settings_keys.h): a key that is not stored, or
    // does not parse, reads as the table's default.
    int integer(const keys::Key &key) const;
    bool boolean(const keys::Key &key) const;
    QString text(const keys::Key &key) const;
    QDate date(const keys::Key &key, const QDate &today) const;
    QTime time(const keys::Key &key, const QTime &now) const;
    bool stored(const keys::Key &key) const;
    void set_integer(const keys::Key &key, int value);
    void set_boolean(const keys::Key &key, bool value);
    void set_text(const keys::Key &key, const QString &value);
    void set_date(const keys::Key &key, const QDate &value);
    void set_time(const keys::Key &key, const QTime &value);
    // What a text key reads as when it is not stored.
    QString default_text(const keys::Key &key) const;
    // The program's folder, the default of the keys that name it.
    void set_program_folder(const QString &folder) { m_program_folder = folder; }
    static QString music_folder();
    static QString recorder_folder();

    void write_string(const QString &section, const QString &key, const QString &value);
    void write_integer(const QString &section, const QString &key, int value);
    void write_bool(const QString &section, const QString &key, bool value);
    void write_date(const QString &section, const QString &key, const QDate &value);
    void write_time(const QString &section, const QString &key, const QTime &value);

    // A batch gathers the writes that follow and puts them into the file in
    // one replacement on commit_batch(), which throws SettingsWriteError and
    // then leaves the file as it was. Reads during a batch see its writes.
    // discard_batch() drops what was gathered; neither nests.
    void begin_batch();
    void commit_batch();
    void discard_batch();
    bool in_batch() const { return m_batching; }

    // The formats in use, for the dialog that shows these values.
    QString date_format() const { return m_date_format; }
    QString time_format() const { return m_time_format; }

    // Integer text rules, shared with anything that parses stored numbers.
    static std::optional<int> parse_integer(const QString &text);

private:
    std::optional<QString> read_raw(const QString &section, const QString &key) const;
    void put(const QString &section, const QString &key, const QString &value);

    IniFile m_ini;
    bool m_batching = false;
    std::vector<IniFile::Entry> m_batch;
    QLocale m_locale;
    QString m_date_format;       // written and read
    QString m_short_date_format; // as the locale gives it, also read
    QString m_time_format;
    QString m_program_folder;
};
