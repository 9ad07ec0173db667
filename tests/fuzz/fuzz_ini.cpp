// velquor.ini as anyone may leave it: the first byte picks the locale whose
// date and time formats the file is read with, the rest is the file. Every
// key of the table is read by its kind and as plain text; then a value of each
// kind is written into the damaged file and must read back as written.

#include "fuzz_support.h"
#include "settings_file.h"
#include "settings_keys.h"

#include <QCoreApplication>
#include <cstdlib>

namespace
{

const QLocale &locale_for(uint8_t selector)
{
    // Two-digit and four-digit years, day or month first, 12 and 24 hours,
    // digits other than ASCII, a right-to-left script.
    static const QLocale locales[] = {QLocale(QLocale::English, QLocale::UnitedStates),
                                      QLocale(QLocale::German, QLocale::Germany),
                                      QLocale(QLocale::English, QLocale::UnitedKingdom),
                                      QLocale(QLocale::Japanese, QLocale::Japan),
                                      QLocale(QLocale::Arabic, QLocale::Egypt),
                                      QLocale(QLocale::Persian, QLocale::Iran),
                                      QLocale(QLocale::Korean, QLocale::SouthKorea),
                                      QLocale(QLocale::Hindi, QLocale::India),
                                      QLocale::c()};
    return locales[selector % std::size(locales)];
}

void check(bool ok)
{
    if (!ok)
        abort();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    fuzz::start_application<QCoreApplication>("fuzz_ini");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    fuzz::write_input(QStringLiteral("velquor.ini"), data + 1, size - 1);
    SettingsFile settings(QStringLiteral("velquor.ini"), fuzz::scratch_folder(),
                          locale_for(data[0]));
    const QDate today(2026, 12, 9);
    const QTime now(12, 34, 56);
    for (const keys::Key *key : keys::all) {
        const QString section = QLatin1String(key->section);
        const QString name = QLatin1String(key->name);
        switch (key->kind) {
        case keys::Kind::integer:
            settings.integer(*key);
            break;
        case keys::Kind::boolean:
            settings.boolean(*key);
            break;
        case keys::Kind::text:
            check(settings.text(*key).size() <= IniFile::max_value_length);
            break;
        case keys::Kind::date:
            check(settings.date(*key, today).isValid());
            break;
        case keys::Kind::time:
            check(settings.time(*key, now).isValid());
            break;
        }
        check(settings.read_string(section, name, QString()).size() <= IniFile::max_value_length);
    }

    // Writes into the damaged file land where reads find them.
    settings.set_integer(keys::limit::time, -123456);
    settings.set_text(keys::format::path, QStringLiteral(" /a folder\nwith a break "));
    settings.set_date(keys::schedule::special_day, today);
    settings.set_time(keys::schedule::begin_time, now);
    check(settings.integer(keys::limit::time) == -123456);
    check(settings.text(keys::format::path) == QStringLiteral("/a folder with a break"));
    check(settings.date(keys::schedule::special_day, QDate(2000, 1, 1)) == today);
    check(settings.time(keys::schedule::begin_time, QTime(1, 2, 3)) == now);
    return 0;
}
