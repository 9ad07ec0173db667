// Many random settings files against the rules the INI service promises.
#include "ini_file.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <map>
#include <random>

namespace
{

const char *const names[] = {"format",    "Format",    "FORMAT", "mp3",  "MP3", "limit",
                             "auto name", "Auto Name", "time",   "path", "x"};

struct Generator {
    std::mt19937 rng;
    explicit Generator(unsigned seed) : rng(seed) {}
    int pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng); }
    QByteArray name() { return names[pick(std::size(names))]; }
    QByteArray pad() { return QByteArray(pick(3), pick(2) ? ' ' : '\t'); }
    QByteArray value()
    {
        static const char *const values[] = {"1",
                                             "0",
                                             "0x10",
                                             "abc",
                                             "",
                                             "/home/me/Music",
                                             " spaced out ",
                                             "a=b",
                                             "[not a section]",
                                             "ünï"};
        return values[pick(std::size(values))];
    }
    QByteArray garbage()
    {
        QByteArray g;
        const int n = pick(12);
        for (int i = 0; i < n; ++i) {
            char c = static_cast<char>(pick(256));
            if (c == '\n')
                c = 'n';
            g += c;
        }
        return g;
    }
    QByteArray file()
    {
        QByteArray out;
        if (pick(5) == 0)
            out += "\xEF\xBB\xBF";
        const QByteArray eol = pick(3) == 0 ? "\r\n" : "\n";
        const int lines = pick(25);
        for (int i = 0; i < lines; ++i) {
            switch (pick(8)) {
            case 0:
            case 1:
                out += pad() + '[' + pad() + name() + pad() + ']' + pad();
                break;
            case 2:
                out += '[' + name();
                break; // no closing bracket
            case 3:
                out += ';' + garbage();
                break;
            case 4:
                out += garbage();
                break;
            default:
                out += pad() + name() + pad() + '=' + pad() + value() + pad();
                break;
            }
            if (i + 1 < lines || pick(2))
                out += eol;
        }
        return out;
    }
};

// The rules, written out plainly: first matching section, first matching key in it.
std::optional<QString> model_read(QByteArray file, const QString &section, const QString &key)
{
    if (file.startsWith("\xEF\xBB\xBF"))
        file.remove(0, 3);
    bool in_section = false;
    bool seen_section = false;
    for (QByteArray line : file.split('\n')) {
        if (line.endsWith('\r'))
            line.chop(1);
        line = line.trimmed();
        if (line.startsWith('[')) {
            const int close = line.lastIndexOf(']');
            if (close < 0)
                continue;
            if (in_section)
                return std::nullopt; // the first matching section ended without the key
            in_section = !seen_section && QString::fromUtf8(line.mid(1, close - 1))
                                                  .trimmed()
                                                  .compare(section, Qt::CaseInsensitive) == 0;
            seen_section = seen_section || in_section;
            continue;
        }
        if (!in_section || line.startsWith(';') || line.startsWith('#'))
            continue;
        const int eq = line.indexOf('=');
        if (eq <= 0)
            continue;
        if (QString::fromUtf8(line.left(eq)).trimmed().compare(key, Qt::CaseInsensitive) == 0)
            return QString::fromUtf8(line.mid(eq + 1)).trimmed().left(2047);
    }
    return std::nullopt;
}

TEST(IniProperty, RandomFilesReadByTheRulesAndWritesDisturbNothingElse)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("velquor.ini"));
    Generator gen(20261208);
    QStringList all_names;
    for (const char *n : names)
        all_names << QString::fromUtf8(n);

    for (int round = 0; round < 1500; ++round) {
        const QByteArray original = gen.file();
        {
            QFile f(path);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.write(original);
        }
        IniFile ini(path);
        std::map<std::pair<QString, QString>, std::optional<QString>> before;
        for (const QString &s : all_names)
            for (const QString &k : all_names) {
                const auto got = ini.read(s, k);
                ASSERT_EQ(got, model_read(original, s, k))
                    << "round " << round << " [" << s.toStdString() << "] " << k.toStdString();
                before[{s.toLower(), k.toLower()}] = got;
            }

        const QString section = all_names[gen.pick(all_names.size())];
        const QString key = all_names[gen.pick(all_names.size())];
        const QString value = QString::fromUtf8(gen.value()).trimmed() + QString::number(round);
        ini.write(section, key, value);

        for (const auto &[names_pair, old] : before) {
            const auto now = ini.read(names_pair.first, names_pair.second);
            if (names_pair.first == section.toLower() && names_pair.second == key.toLower())
                ASSERT_EQ(now, value) << "round " << round;
            else
                ASSERT_EQ(now, old)
                    << "round " << round << " lost [" << names_pair.first.toStdString() << "] "
                    << names_pair.second.toStdString();
        }
        // Every line that was not the written key is still there, in order.
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        const QByteArray after = f.readAll();
        qsizetype at = 0;
        const QByteArray body = original.startsWith("\xEF\xBB\xBF") ? original.mid(3) : original;
        int changed = 0;
        for (QByteArray line : body.split('\n')) {
            if (line.endsWith('\r'))
                line.chop(1);
            const qsizetype found = after.indexOf(line, at);
            if (found < 0)
                ++changed;
            else
                at = found + line.size();
        }
        ASSERT_LE(changed, 1) << "round " << round;
    }
}

} // namespace
