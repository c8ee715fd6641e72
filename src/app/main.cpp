// Program entry: picks the mode from the command line.
//
//   quillon                  the program with its window
//   quillon hide             the program, started in the tray
//   quillon --console        one answer line per input line (script host)
//   quillon --run FILE [--section NAME]
//   quillon --check FILE
#include "app/CommandLine.h"

#include <QCoreApplication>
#include <QStringList>

#include <cstdio>

int main(int argc, char** argv)
{
    const QString first = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    if (!first.startsWith(QLatin1String("--")))
        return quillon::app::runWindow(argc, argv);

    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    const QString mode = args.value(0);

    if (mode == QLatin1String("--console"))
        return quillon::app::runConsole();
    if (mode == QLatin1String("--run"))
        return quillon::app::runScriptCommand(args.mid(1));
    if (mode == QLatin1String("--check"))
        return quillon::app::checkScriptCommand(args.mid(1));

    std::fprintf(stderr,
                 "usage: quillon [hide | --console | --run FILE [--section NAME] | --check FILE]\n");
    return 2;
}
