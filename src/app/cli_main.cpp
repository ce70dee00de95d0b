// The unattended front end: the upgrader's window, offscreen, with its
// questions answered by policy; one action per run.
#include "app/CliOptions.h"
#include "app/CliRunner.h"
#include "app/CliStation.h"
#include "log/LogFormat.h"
#include "platform/Settings.h"

#include <QApplication>
#include <QSocketNotifier>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>

#include <fcntl.h>
#include <unistd.h>

namespace {

// The handler may do next to nothing; the event loop reads the signal
// number from this pipe and closes the window there.
int signalPipe[2] = {-1, -1};
volatile std::sig_atomic_t firstSignal = 0;
// What a second signal prints before it ends the run: set while the terminal
// is at work, written by the handler as it is.
char secondWarning[4096];
volatile std::sig_atomic_t secondWarningBytes = 0;

void armSecondWarning(const QString& text)
{
    secondWarningBytes = 0;
    const QByteArray bytes =
        QByteArray("\n") + qlog::controlsShown(text, true).toLocal8Bit().left(sizeof secondWarning - 2) + '\n';
    std::copy(bytes.begin(), bytes.end(), secondWarning);
    secondWarningBytes = static_cast<std::sig_atomic_t>(bytes.size());
}

extern "C" void onStopSignal(int signalNumber)
{
    // Asked again while closing: the user wants out now.
    if (firstSignal != 0) {
        if (secondWarningBytes > 0)
            [[maybe_unused]] const ssize_t n = ::write(STDERR_FILENO, secondWarning, secondWarningBytes);
        _exit(cli::interruptedExitCode(firstSignal));
    }
    firstSignal = signalNumber;
    const int savedErrno = errno;
    const unsigned char byte = static_cast<unsigned char>(signalNumber);
    [[maybe_unused]] const ssize_t n = ::write(signalPipe[1], &byte, 1);
    errno = savedErrno;
}

void watchStopSignals(QObject* owner)
{
    if (::pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    auto* notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, owner);
    QObject::connect(notifier, &QSocketNotifier::activated, owner, [] {
        unsigned char byte = 0;
        if (::read(signalPipe[0], &byte, 1) == 1)
            cli::interrupt(byte);
    });
    struct sigaction sa = {};
    sa.sa_handler = onStopSignal;
    // Neither handler runs inside the other, so only one can be the first.
    sigemptyset(&sa.sa_mask);
    sigaddset(&sa.sa_mask, SIGINT);
    sigaddset(&sa.sa_mask, SIGTERM);
    sa.sa_flags = SA_RESTART;
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
}

// Standard output, with one progress line rewritten in place when it is a
// terminal. Whatever is written, no control character but the line break
// reaches the screen: none can move the cursor, retitle or clear it.
struct Console {
    bool liveShown = false;

    void endLive()
    {
        if (liveShown)
            std::fputs("\r\x1b[K", stdout);
        liveShown = false;
    }
    void line(std::FILE* to, const QString& text)
    {
        endLive();
        std::fflush(stdout);
        std::fputs(qlog::controlsShown(text, true).toLocal8Bit().constData(), to);
        std::fputc('\n', to);
        std::fflush(to);
    }
    void live(const QString& text)
    {
        endLive();
        if (!text.isEmpty()) {
            std::fputs(qlog::controlsShown(text, false).toLocal8Bit().constData(), stdout);
            liveShown = true;
        }
        std::fflush(stdout);
    }
};

}  // namespace

int main(int argc, char* argv[])
{
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    const cli::Options options = cli::parse(args);
    static Console console;
    cli::Output output;
    output.out = [](const QString& text) { console.line(stdout, text); };
    output.err = [](const QString& text) { console.line(stderr, text); };
    if (::isatty(STDOUT_FILENO))
        output.live = [](const QString& text) { console.live(text); };

    output.armSecondSignal = armSecondWarning;

    if (options.action == cli::Action::Help) {
        output.out(cli::helpText());
        return cli::Success;
    }
    // Asked for, a script gets its JSON even when the command line is wrong.
    const bool json = args.contains(QStringLiteral("--json"));
    if (!options.error.isEmpty()) {
        output.err(QStringLiteral("qora-upgrader-cli: ") + options.error + QStringLiteral(" -- ") + cli::usage());
        if (json)
            output.out(cli::refusalReport(QStringLiteral("usage"), options.error));
        return cli::BadUsage;
    }
    // A setting that cannot be used must not be replaced by a default quietly:
    // the default address is a real terminal's.
    if (const QStringList problems = Settings::environmentProblems(); !problems.isEmpty()) {
        for (const QString& p : problems)
            output.err(QStringLiteral("qora-upgrader-cli: ") + p);
        if (json)
            output.out(cli::refusalReport(QStringLiteral("settings"), problems.join(QStringLiteral("; "))));
        return cli::BadUsage;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // Qt's complaint about a missing runtime folder (root over SSH, a service)
    // is no concern of a script reading standard error: Qt uses a folder of
    // its own then.
    static const QtMessageHandler qtHandler = qInstallMessageHandler(nullptr);
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext& context, const QString& message) {
        if (type == QtWarningMsg && message.startsWith(QLatin1String("QStandardPaths: ")) &&
            message.contains(QLatin1String("runtime")))
            return;
        qtHandler(type, context, message);
    });
    QApplication app(argc, argv);
    watchStopSignals(&app);
    if (options.action == cli::Action::Station)
        return cli::runStation(options, output);
    return cli::run(options, output);
}
