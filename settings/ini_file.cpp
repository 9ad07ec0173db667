#include "ini_file.h"

#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

namespace
{

struct Line {
    QByteArray text; // without its line end
    enum Kind { other, section, key } kind = other;
    QString name; // section or key name, trimmed
    QString value;
};

struct Document {
    bool bom = false;
    bool crlf = false;
    std::vector<Line> lines;
};

const QByteArray utf8_bom("\xEF\xBB\xBF");

Line parse_line(const QByteArray &raw)
{
    Line line;
    line.text = raw;
    const QByteArray t = raw.trimmed();
    if (t.isEmpty() || t.startsWith(';') || t.startsWith('#'))
        return line;
    if (t.startsWith('[')) {
        const int close = t.lastIndexOf(']');
        if (close > 0) {
            line.kind = Line::section;
            line.name = QString::fromUtf8(t.mid(1, close - 1)).trimmed();
        }
        return line;
    }
    const int eq = t.indexOf('=');
    if (eq <= 0)
        return line;
    line.kind = Line::key;
    line.name = QString::fromUtf8(t.left(eq)).trimmed();
    line.value = QString::fromUtf8(t.mid(eq + 1)).trimmed();
    return line;
}

Document load(const QString &path)
{
    Document doc;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return doc;
    QByteArray data = f.readAll();
    if (data.startsWith(utf8_bom)) {
        doc.bom = true;
        data.remove(0, utf8_bom.size());
    }
    if (data.isEmpty())
        return doc;
    const int first_nl = data.indexOf('\n');
    doc.crlf = first_nl > 0 && data.at(first_nl - 1) == '\r';
    QList<QByteArray> raw = data.split('\n');
    if (data.endsWith('\n'))
        raw.removeLast();
    doc.lines.reserve(raw.size());
    for (QByteArray &r : raw) {
        if (r.endsWith('\r'))
            r.chop(1);
        doc.lines.push_back(parse_line(r));
    }
    return doc;
}

// Writes `data` to a new file beside `path`, syncs it and renames it over
// `path`. Every system call is checked: a short write on a full disk must
// not pass for success (QSaveFile lets that through).
bool replace_atomically(const QString &path, const QByteArray &data)
{
    const QByteArray target = QFile::encodeName(path);
    QByteArray temp = target + ".XXXXXX";
    const int fd = mkstemp(temp.data());
    if (fd < 0)
        return false;
    bool ok = true;
    qsizetype done = 0;
    while (ok && done < data.size()) {
        const ssize_t n =
            ::write(fd, data.constData() + done, static_cast<size_t>(data.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        ok = n > 0;
        done += ok ? n : 0;
    }
    ok = ok && ::fsync(fd) == 0;
    // Keep the permissions an existing settings file had.
    struct stat st {
    };
    if (ok && ::stat(target.constData(), &st) == 0)
        ::fchmod(fd, st.st_mode & 07777);
    else if (ok)
        ::fchmod(fd, 0644);
    ok = (::close(fd) == 0) && ok;
    ok = ok && ::rename(temp.constData(), target.constData()) == 0;
    if (!ok) {
        ::unlink(temp.constData());
        return false;
    }
    const QByteArray folder = QFile::encodeName(QFileInfo(path).absolutePath());
    const int dir_fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY);
    if (dir_fd >= 0) {
        ::fsync(dir_fd);
        ::close(dir_fd);
    }
    return true;
}

bool same_name(const QString &a, const QString &b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

// [begin, end) of the lines of the first section of that name; begin = -1 when missing.
std::pair<int, int> find_section(const Document &doc, const QString &section)
{
    const int n = static_cast<int>(doc.lines.size());
    for (int i = 0; i < n; ++i) {
        if (doc.lines[i].kind == Line::section && same_name(doc.lines[i].name, section)) {
            int end = i + 1;
            while (end < n && doc.lines[end].kind != Line::section)
                ++end;
            return {i + 1, end};
        }
    }
    return {-1, -1};
}

int find_key(const Document &doc, std::pair<int, int> range, const QString &key)
{
    for (int i = range.first; i < range.second; ++i)
        if (doc.lines[i].kind == Line::key && same_name(doc.lines[i].name, key))
            return i;
    return -1;
}

QByteArray one_line(const QString &text)
{
    QString t = text;
    t.replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
    t.replace(QChar(0), QLatin1Char(' '));
    return t.toUtf8();
}

} // namespace

std::optional<QString> IniFile::read(const QString &section, const QString &key) const
{
    const Document doc = load(m_path);
    const auto range = find_section(doc, section);
    if (range.first < 0)
        return std::nullopt;
    const int at = find_key(doc, range, key);
    if (at < 0)
        return std::nullopt;
    return doc.lines[at].value.left(max_value_length);
}

void IniFile::write(const QString &section, const QString &key, const QString &value)
{
    write_all({{section, key, value}});
}

namespace
{

void put(Document &doc, const IniFile::Entry &e)
{
    const QByteArray entry = one_line(e.key) + '=' + one_line(e.value);
    const auto range = find_section(doc, e.section);
    if (range.first < 0) {
        if (!doc.lines.empty() && !doc.lines.back().text.trimmed().isEmpty())
            doc.lines.push_back(Line{});
        doc.lines.push_back(Line{'[' + one_line(e.section) + ']', Line::section, e.section, {}});
        doc.lines.push_back(Line{entry, Line::key, e.key, e.value});
    } else if (const int at = find_key(doc, range, e.key); at >= 0) {
        // Keep the key as it is spelled in the file.
        const QByteArray t = doc.lines[at].text;
        const QByteArray old_key = t.left(t.indexOf('=')).trimmed();
        doc.lines[at].text = old_key + '=' + one_line(e.value);
        doc.lines[at].value = e.value;
    } else {
        int insert_at = range.second;
        while (insert_at > range.first && doc.lines[insert_at - 1].text.trimmed().isEmpty())
            --insert_at;
        doc.lines.insert(doc.lines.begin() + insert_at, Line{entry, Line::key, e.key, e.value});
    }
}

} // namespace

void IniFile::write_all(const std::vector<Entry> &entries)
{
    if (entries.empty())
        return;
    const QString file_name = QFileInfo(m_path).fileName();
    QFileInfo info(m_path);
    // A settings file the user made read-only is refused, as the old service did,
    // although replacing it by rename would work.
    if (info.exists() && !info.isWritable())
        throw SettingsWriteError(file_name);

    Document doc = load(m_path);
    for (const Entry &e : entries)
        put(doc, e);

    QByteArray out;
    if (doc.bom)
        out += utf8_bom;
    const QByteArray eol = doc.crlf ? QByteArray("\r\n") : QByteArray("\n");
    for (const Line &l : doc.lines)
        out += l.text + eol;

    if (!replace_atomically(m_path, out))
        throw SettingsWriteError(file_name);
}
