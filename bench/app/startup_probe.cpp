// Starts Velquor exactly as the program does and quits as soon as the main
// window has been shown: the start-up half of scripts/perf-compare.sh.
#include "main.h"
#include "program.h"

#include <QCoreApplication>

int main(int argc, char **argv)
{
    return run_velquor(argc, argv, [](Tfm_main &) { QCoreApplication::exit(0); });
}
