// The unattended front end: the upgrader's window, offscreen, with its
// questions answered by policy; one action per run.
#include "app/CliOptions.h"
#include "app/CliRunner.h"

#include <QApplication>

#include <cstdio>

int main(int argc, char* argv[])
{
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    const cli::Options options = cli::parse(args);
    auto print = [](const QString& line) {
        std::fputs(line.toLocal8Bit().constData(), stdout);
        std::fputc('\n', stdout);
        std::fflush(stdout);
    };
    if (options.action == cli::Action::Help) {
        print(cli::helpText());
        return cli::Success;
    }
    if (!options.error.isEmpty()) {
        print(QStringLiteral("qora-upgrader-cli: ") + options.error + QStringLiteral(" -- ") + cli::usage());
        return cli::BadUsage;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    return cli::run(options, print);
}
