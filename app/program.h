#pragma once
// The program's start: application object, the five windows in their order
// (the settings dialog just after the main window's first paint), the message
// loop. `on_shown` runs once the main window has painted on screen (the
// start-up benchmark ends its run there).

#include <functional>

class Tfm_main;

int run_velquor(int &argc, char **argv, const std::function<void(Tfm_main &)> &on_shown = {});
