#include "program.h"

#include "ID3.h"
#include "command_line.h"
#include "dir.h"
#include "main.h"
#include "option.h"
#include "platform_choice.h"
#include "recordlist.h"
#include "velquor_application.h"

#include <QTimer>

#include <cstdio>

int run_velquor(int &argc, char **argv, const std::function<void(Tfm_main &)> &on_shown)
{
    // Answered before the application object exists: no display, no sound server.
    if (const auto reply = command_line_reply(argc, argv)) {
        std::puts(reply->c_str());
        return 0;
    }
    choose_platform();
    VelquorApplication app(argc, argv);
    Tfm_main fm_main;
    app.set_main_window(&fm_main);
    Tfm_option fm_option(&fm_main);
    Tfm_id3 fm_id3(&fm_main);
    Tfm_dir fm_dir(&fm_main);
    Tfm_list fm_list(&fm_main);
    fm_main.set_windows(&fm_option, &fm_id3, &fm_dir, &fm_list);
    fm_main.show();
    if (on_shown)
        QTimer::singleShot(0, &fm_main, [&] { on_shown(fm_main); });
    return app.exec();
}
