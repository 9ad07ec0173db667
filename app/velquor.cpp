// Program entry.
#include "program.h"

int main(int argc, char **argv)
{
    return run_velquor(argc, argv);
}
