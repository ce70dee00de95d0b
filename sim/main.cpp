// qora-terminal-sim: the simulated terminal as a program (demo, benchmarks).

#include "Options.h"
#include "StdioShell.h"
#include "Terminal.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QSocketNotifier>

#include <csignal>
#include <cstdio>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int signalPipe[2] = {-1, -1};

void onSignal(int)
{
    const char c = 1;
    [[maybe_unused]] const auto n = ::write(signalPipe[1], &c, 1);
}

void printLine(const QString& line)
{
    std::fputs(qPrintable(line + QLatin1Char('\n')), stdout);
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    qsim::ProgramOptions options;
    QString message;
    switch (qsim::parseOptions(app.arguments(), &options, &message)) {
    case qsim::ParseResult::Help:
        std::fputs(qPrintable(message), stdout);
        return 0;
    case qsim::ParseResult::Error:
        std::fprintf(stderr, "qora-terminal-sim: %s\n(see --help)\n", qPrintable(message));
        return 2;
    case qsim::ParseResult::Run: break;
    }

    if (options.stdioShellPort != 0)
        return qsim::runStdioShell({options.config.appAddress, options.config.defaultAddress},
                                   quint16(options.stdioShellPort));

    qsim::Terminal terminal(options.config);
    QObject::connect(&terminal, &qsim::Terminal::event, &app, [](const QString& line) {
        printLine(QTime::currentTime().toString(QStringLiteral("hh:mm:ss.zzz ")) + line);
    });
    if (!QDir(options.config.flashDir).exists() || terminal.flash().isEmpty()) {
        if (!terminal.flash().seedDemo(options.seedVersion)) {
            std::fprintf(stderr, "qora-terminal-sim: cannot seed the flash folder %s\n", qPrintable(options.config.flashDir));
            return 1;
        }
        printLine(QStringLiteral("seeded %1 with application %2").arg(options.config.flashDir, options.seedVersion));
    }
    terminal.setModel(options.model);
    terminal.setFaults(options.faults);
    QString error;
    if (!terminal.start(&error)) {
        std::fprintf(stderr, "qora-terminal-sim: %s\n", qPrintable(error));
        return 1;
    }
    printLine(QStringLiteral("ports zing=%1 ftp=%2 telnet=%3 app=%4 default=%5 flash=%6")
                  .arg(terminal.zingPort())
                  .arg(terminal.ftpPort())
                  .arg(terminal.telnetPort())
                  .arg(options.config.appAddress.toString(), options.config.defaultAddress.toString(),
                       QDir(options.config.flashDir).absolutePath()));

    // SIGINT and SIGTERM end the event loop, so the ports are closed cleanly.
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, signalPipe) == 0) {
        auto* notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, &app);
        QObject::connect(notifier, &QSocketNotifier::activated, &app, &QCoreApplication::quit);
        std::signal(SIGINT, onSignal);
        std::signal(SIGTERM, onSignal);
    }
    const int rc = app.exec();
    terminal.stop();
    return rc;
}
