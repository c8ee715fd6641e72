#include "app/CommandLine.h"

#include <cstdio>

namespace quillon::app {

int runConsole()
{
    std::fprintf(stderr, "quillon: the script console is not built yet\n");
    return 1;
}

}  // namespace quillon::app
