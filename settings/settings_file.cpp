#include "settings_file.h"

#include <QCoreApplication>
#include <QDir>
#include <QRegularExpression>
#include <QStandardPaths>

#include <limits>

namespace
{

// "M/d/yy" -> "M/d/yyyy": a century-free year does not survive a round trip.
QString with_full_year(QString format)
{
    static const QRegularExpression short_year(QStringLiteral("(?<!y)yy(?!y)"));
    return format.replace(short_year, QStringLiteral("yyyy"));
}

// The long time format without its time-zone part ("t", "tttt" ...).
QString without_zone(QString format)
{
    static const QRegularExpression zone(QStringLiteral("\\s*t+\\s*"));
    format.replace(zone, QStringLiteral(" "));
    return format.trimmed();
}

} // namespace

QString SettingsFile::default_folder()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
}

SettingsFile::SettingsFile(const QString &bare_name, const QLocale &locale)
    : SettingsFile(bare_name, default_folder(), locale)
{
    // A fresh account may have no configuration folder yet.
    QDir().mkpath(default_folder());
}

SettingsFile::SettingsFile(const QString &bare_name, const QString &folder, const QLocale &locale)
    : m_ini(QDir(folder).filePath(bare_name)), m_locale(locale)
{
    m_short_date_format = m_locale.dateFormat(QLocale::ShortFormat);
    m_date_format = with_full_year(m_short_date_format);
    m_time_format = without_zone(m_locale.timeFormat(QLocale::LongFormat));
}

std::optional<int> SettingsFile::parse_integer(const QString &text)
{
    QString t = text.trimmed();
    bool negative = false;
    if (t.startsWith(QLatin1Char('-')) || t.startsWith(QLatin1Char('+'))) {
        negative = t.startsWith(QLatin1Char('-'));
        t.remove(0, 1);
    }
    if (t.isEmpty())
        return std::nullopt;
    bool ok = false;
    qint64 value = 0;
    if (t.size() > 2 && (t.startsWith(QLatin1String("0x")) || t.startsWith(QLatin1String("0X")))) {
        const QString digits = t.mid(2);
        if (digits.size() > 8)
            return std::nullopt;
        for (QChar c : digits)
            if (!c.isDigit() && !QStringLiteral("abcdefABCDEF").contains(c))
                return std::nullopt;
        // Hexadecimal is a 32-bit pattern: 0xFFFFFFFF is -1.
        value = static_cast<qint32>(digits.toUInt(&ok, 16));
    } else {
        for (QChar c : t)
            if (c < QLatin1Char('0') || c > QLatin1Char('9'))
                return std::nullopt;
        value = t.toLongLong(&ok, 10);
    }
    if (!ok)
        return std::nullopt;
    if (negative)
        value = -value;
    if (value < std::numeric_limits<int>::min() || value > std::numeric_limits<int>::max())
        return std::nullopt;
    return static_cast<int>(value);
}

std::optional<QString> SettingsFile::read_raw(const QString &section, const QString &key) const
{
    for (auto it = m_batch.rbegin(); it != m_batch.rend(); ++it)
        if (it->section.compare(section, Qt::CaseInsensitive) == 0 &&
            it->key.compare(key, Qt::CaseInsensitive) == 0) {
            // As the file would give it back: one line, trimmed, cut.
            QString v = it->value;
            v.replace(QLatin1Char('\r'), QLatin1Char(' '))
                .replace(QLatin1Char('\n'), QLatin1Char(' '));
            return v.trimmed().left(IniFile::max_value_length);
        }
    return m_ini.read(section, key);
}

void SettingsFile::put(const QString &section, const QString &key, const QString &value)
{
    if (m_batching)
        m_batch.push_back({section, key, value});
    else
        m_ini.write(section, key, value);
}

void SettingsFile::begin_batch()
{
    m_batch.clear();
    m_batching = true;
}

void SettingsFile::commit_batch()
{
    // Whatever happens, the batch is over: a failed one is not retried by accident.
    std::vector<IniFile::Entry> entries;
    entries.swap(m_batch);
    m_batching = false;
    m_ini.write_all(entries);
}

void SettingsFile::discard_batch()
{
    m_batch.clear();
    m_batching = false;
}

QString SettingsFile::read_string(const QString &section, const QString &key,
                                  const QString &def) const
{
    return read_raw(section, key).value_or(def.left(IniFile::max_value_length));
}

int SettingsFile::read_integer(const QString &section, const QString &key, int def) const
{
    const auto text = read_raw(section, key);
    if (!text)
        return def;
    return parse_integer(*text).value_or(def);
}

bool SettingsFile::read_bool(const QString &section, const QString &key, bool def) const
{
    return read_integer(section, key, def ? 1 : 0) != 0;
}

QDate SettingsFile::read_date(const QString &section, const QString &key, const QDate &def) const
{
    const auto text = read_raw(section, key);
    if (!text || text->isEmpty())
        return def;
    QDate d = m_locale.toDate(*text, m_date_format);
    if (d.isValid())
        return d;
    d = m_locale.toDate(*text, m_short_date_format);
    if (!d.isValid())
        return def;
    if (m_short_date_format != m_date_format) {
        // A two-digit year: take the century that puts it nearest today.
        const int today = QDate::currentDate().year();
        int year = today - today % 100 + d.year() % 100;
        if (year > today + 49)
            year -= 100;
        else if (year < today - 50)
            year += 100;
        d = QDate(year, d.month(), d.day());
        return d.isValid() ? d : def;
    }
    return d;
}

QTime SettingsFile::read_time(const QString &section, const QString &key, const QTime &def) const
{
    const auto text = read_raw(section, key);
    if (!text || text->isEmpty())
        return def;
    const QTime t = m_locale.toTime(*text, m_time_format);
    return t.isValid() ? t : def;
}

void SettingsFile::write_string(const QString &section, const QString &key, const QString &value)
{
    put(section, key, value);
}

void SettingsFile::write_integer(const QString &section, const QString &key, int value)
{
    put(section, key, QString::number(value));
}

void SettingsFile::write_bool(const QString &section, const QString &key, bool value)
{
    put(section, key, value ? QStringLiteral("1") : QStringLiteral("0"));
}

void SettingsFile::write_date(const QString &section, const QString &key, const QDate &value)
{
    put(section, key, m_locale.toString(value, m_date_format));
}

void SettingsFile::write_time(const QString &section, const QString &key, const QTime &value)
{
    put(section, key, m_locale.toString(value, m_time_format));
}

namespace
{

QString section_of(const keys::Key &key)
{
    return QString::fromLatin1(key.section);
}

QString name_of(const keys::Key &key)
{
    return QString::fromLatin1(key.name);
}

} // namespace

QString SettingsFile::music_folder()
{
    const QString music = QStandardPaths::writableLocation(QStandardPaths::MusicLocation);
    return music.isEmpty() ? QDir::home().filePath(QStringLiteral("Music")) : music;
}

QString SettingsFile::recorder_folder()
{
    return QDir::home().filePath(QStringLiteral("My Recorder"));
}

QString SettingsFile::default_text(const keys::Key &key) const
{
    switch (key.dynamic) {
    case keys::Dynamic::music_folder:
        return music_folder();
    case keys::Dynamic::recorder_folder:
        return recorder_folder();
    case keys::Dynamic::program_folder:
        return QDir::cleanPath(m_program_folder.isEmpty() ? QCoreApplication::applicationDirPath()
                                                          : m_program_folder);
    default:
        return {};
    }
}

int SettingsFile::integer(const keys::Key &key) const
{
    Q_ASSERT(key.kind == keys::Kind::integer || key.kind == keys::Kind::boolean);
    return read_integer(section_of(key), name_of(key), key.number);
}

bool SettingsFile::boolean(const keys::Key &key) const
{
    Q_ASSERT(key.kind == keys::Kind::boolean);
    return read_bool(section_of(key), name_of(key), key.number != 0);
}

QString SettingsFile::text(const keys::Key &key) const
{
    Q_ASSERT(key.kind == keys::Kind::text);
    const auto stored_text = read_raw(section_of(key), name_of(key));
    return stored_text ? *stored_text : default_text(key);
}

QDate SettingsFile::date(const keys::Key &key, const QDate &today) const
{
    Q_ASSERT(key.kind == keys::Kind::date);
    return read_date(section_of(key), name_of(key), today);
}

QTime SettingsFile::time(const keys::Key &key, const QTime &now) const
{
    Q_ASSERT(key.kind == keys::Kind::time);
    return read_time(section_of(key), name_of(key), now);
}

bool SettingsFile::stored(const keys::Key &key) const
{
    const auto value = read_raw(section_of(key), name_of(key));
    return value && !value->isEmpty();
}

void SettingsFile::set_integer(const keys::Key &key, int value)
{
    Q_ASSERT(key.kind == keys::Kind::integer || key.kind == keys::Kind::boolean);
    write_integer(section_of(key), name_of(key), value);
}

void SettingsFile::set_boolean(const keys::Key &key, bool value)
{
    Q_ASSERT(key.kind == keys::Kind::boolean);
    write_bool(section_of(key), name_of(key), value);
}

void SettingsFile::set_text(const keys::Key &key, const QString &value)
{
    Q_ASSERT(key.kind == keys::Kind::text);
    write_string(section_of(key), name_of(key), value);
}

void SettingsFile::set_date(const keys::Key &key, const QDate &value)
{
    Q_ASSERT(key.kind == keys::Kind::date);
    write_date(section_of(key), name_of(key), value);
}

void SettingsFile::set_time(const keys::Key &key, const QTime &value)
{
    Q_ASSERT(key.kind == keys::Kind::time);
    write_time(section_of(key), name_of(key), value);
}
