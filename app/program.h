#pragma once
// The program's start: application object, the five windows in their order,
// the message loop. `on_shown` runs once the main window is on screen (the
// start-up benchmark ends its run there).

#include <functional>

class Tfm_main;

int run_velquor(int &argc, char **argv, const std::function<void(Tfm_main &)> &on_shown = {});
