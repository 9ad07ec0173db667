// The Schedule page's tray box: a program that records on a schedule lives in
// the background, and the tray is where it is found again.
#include "option.h"
#include "option_widgets.h"

#include "settings_file.h"

using namespace option_widgets;

QWidget *Tfm_option::build_tray_box(QWidget *page)
{
    cb_tray = new Wrapping<QCheckBox>(QStringLiteral("Show an icon in the system tray"), page);
    cb_tray->setObjectName(QStringLiteral("cb_tray"));
    return cb_tray;
}

void Tfm_option::show_desktop(const SettingsFile &f)
{
    cb_tray->setChecked(f.boolean(keys::basic::tray));
}

void Tfm_option::store_desktop(SettingsFile &f) const
{
    f.set_boolean(keys::basic::tray, cb_tray->isChecked());
}

void Tfm_option::default_desktop()
{
    cb_tray->setChecked(keys::basic::tray.number != 0);
}
