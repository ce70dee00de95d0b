// One transfer through InetFtp, timed from the operation to its completion
// (connect and login included, as curl's time_total counts them), for
// bench/ftp_bench.sh. Prints the seconds on stdout and the peak memory on stderr.
#include "platform/InetFtp.h"
#include "platform/Settings.h"
#include "ui/Progress.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <sys/resource.h>

#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 6 || (args[3] != QLatin1String("get") && args[3] != QLatin1String("put"))) {
        std::fprintf(stderr, "usage: ftp-bench HOST PORT get REMOTE LOCAL | put LOCAL REMOTE\n");
        return 2;
    }
    // Loopback only, whatever the environment says.
    Settings settings = Settings::fromEnvironment();
    settings.loopbackOnly = true;
    Settings::set(settings);

    InetFtp ftp;
    ftp.setAddress(args[1]);
    ftp.setPort(static_cast<quint16>(args[2].toUInt()));
    ftp.onGuardLog = [](const QString& line) { std::fprintf(stderr, "%s\n", qPrintable(line)); };

    QElapsedTimer clock;
    double seconds = -1;
    if (qEnvironmentVariableIsSet("FTP_BENCH_TRACE")) {
        ftp.onTrace = [&clock](const QString& line) {
            std::fprintf(stderr, "%8.1f ms %s\n", static_cast<double>(clock.nsecsElapsed()) / 1e6, qPrintable(line));
        };
    }
    // FTP_BENCH_PROGRESS=1: the progress line made as the window and the
    // front end make it, to measure what reporting costs a transfer.
    qint64 reports = 0;
    if (qEnvironmentVariableIsSet("FTP_BENCH_PROGRESS")) {
        ftp.onTransferProgress = [&](qint64 done, qint64 total) {
            const progress::Info info{progress::Info::Transfer, QStringLiteral("Uploading"), done, total,
                                      clock.elapsed()};
            reports += progress::text(info).size() > 0;
        };
    }
    ftp.onStateChanged = [&](int state) {
        if (state == InetFtp::icResponseCompleted) {
            seconds = static_cast<double>(clock.nsecsElapsed()) / 1e9;
            ftp.execute(QStringLiteral("CLOSE"));
        } else if (state == InetFtp::icError) {
            std::fprintf(stderr, "ftp-bench: failed: %d %s\n", ftp.responseCode(), qPrintable(ftp.responseInfo()));
            app.exit(1);
        } else if (state == InetFtp::icDisconnected) {
            app.exit(0);
        }
    };
    const QString op = args[3].toUpper() + QStringLiteral(" \"") + args[4] + QStringLiteral("\" \"") + args[5] + QLatin1Char('"');
    clock.start();
    if (!ftp.execute(op)) {
        std::fprintf(stderr, "ftp-bench: operation not understood: %s\n", qPrintable(op));
        return 2;
    }
    const int rc = app.exec();
    struct rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    std::fprintf(stderr, "ftp-bench: peak memory %ld KiB, %lld progress reports\n", usage.ru_maxrss,
                 static_cast<long long>(reports));
    if (rc == 0)
        std::printf("%.4f\n", seconds);
    return rc;
}
