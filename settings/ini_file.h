#pragma once
// The INI service: one key of one section per call, with the semantics of
// the classic private-profile functions. Section and key names match without
// regard to case; the first of duplicate sections or keys wins; values are
// trimmed and cut to 2047 characters; lines that are not "key=value" under a
// "[section]" (comments, garbage, a header without its "]") are ignored on
// reading and kept byte for byte on writing. Nothing is cached: every call
// reads the file. A write replaces the file atomically (written, synced,
// renamed over the old one) and throws SettingsWriteError when it cannot.
// Files are UTF-8; a byte-order mark and CRLF line ends are understood and kept.

#include <QString>
#include <optional>
#include <stdexcept>
#include <vector>

class SettingsWriteError : public std::runtime_error
{
public:
    explicit SettingsWriteError(const QString &file_name)
        : std::runtime_error(QStringLiteral("Unable to write to %1").arg(file_name).toStdString())
    {
    }
};

class IniFile
{
public:
    static constexpr int max_value_length = 2047;

    explicit IniFile(QString path) : m_path(std::move(path)) {}

    QString path() const { return m_path; }
    // nullopt when the file, the section or the key is missing.
    std::optional<QString> read(const QString &section, const QString &key) const;
    struct Entry {
        QString section;
        QString key;
        QString value;
    };
    // Line breaks in the value become spaces: a value is one line.
    void write(const QString &section, const QString &key, const QString &value);
    // Every entry in one replacement of the file, in order (a later entry of
    // the same key wins): either all of them reach the file or none does.
    void write_all(const std::vector<Entry> &entries);

private:
    QString m_path;
};
