#include "app/CommandLine.h"

#include <cstdio>

namespace quillon::app {

int runScriptCommand(const QStringList&)
{
    std::fprintf(stderr, "quillon: --run is not built yet\n");
    return 2;
}

int checkScriptCommand(const QStringList&)
{
    std::fprintf(stderr, "quillon: --check is not built yet\n");
    return 2;
}

}  // namespace quillon::app
