// Program entry: the windows in their order, then the message loop.
#include "ID3.h"
#include "dir.h"
#include "main.h"
#include "option.h"
#include "recordlist.h"
#include "velquor_application.h"

int main(int argc, char **argv)
{
    VelquorApplication app(argc, argv);
    Tfm_main fm_main;
    app.set_main_window(&fm_main);
    Tfm_option fm_option(&fm_main);
    Tfm_id3 fm_id3(&fm_main);
    Tfm_dir fm_dir(&fm_main);
    Tfm_list fm_list(&fm_main);
    fm_main.set_windows(&fm_option, &fm_id3, &fm_dir, &fm_list);
    fm_main.show();
    return app.exec();
}
