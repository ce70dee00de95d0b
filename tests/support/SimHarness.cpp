#include "support/SimHarness.h"

#ifdef QORA_HAVE_SIM

#include "platform/Settings.h"
#include "support/Upgrader.h"

#include <stdexcept>

SimHarness::SimHarness() : SimHarness(Options{}) {}

SimHarness::SimHarness(const Options& options) : options_(options)
{
    qsim::Config cfg;
    cfg.flashDir = flashDir_.path();
    cfg.appAddress = QHostAddress(options.appAddress);
    cfg.defaultAddress = QHostAddress(options.defaultAddress);
    cfg.timeScale = options.timeScale;
    terminal_ = std::make_unique<qsim::Terminal>(cfg);
    if (!options.runningVersion.isEmpty())
        terminal_->flash().seedDemo(options.runningVersion, 64 * 1024);
    if (options.start) {
        QString error;
        if (!terminal_->start(&error))
            throw std::runtime_error("simulator did not start: " + error.toStdString());
        if (!options.runningVersion.isEmpty() && !terminal_->waitUntilUp(5000))
            throw std::runtime_error("simulator did not boot");
    }
    Settings::set(loopbackSettings(options.defaultAddress, terminal_->zingPort(), terminal_->ftpPort(),
                                   terminal_->telnetPort(), options.timeScale));
}

SimHarness::~SimHarness()
{
    terminal_->stop();
}

QList<QByteArray> SimHarness::zingRequests() const
{
    QList<QByteArray> out;
    for (const qsim::Record& r : terminal_->records(qsim::Service::Zing))
        out << r.raw;
    return out;
}

QList<quint32> SimHarness::zingCodes() const
{
    QList<quint32> out;
    for (const qsim::Record& r : terminal_->records(qsim::Service::Zing))
        out << r.zingCode;
    return out;
}

QStringList SimHarness::ftpCommands() const
{
    QStringList out;
    for (const qsim::Record& r : terminal_->records(qsim::Service::Ftp))
        out << (r.argument.isEmpty() ? r.command : r.command + QLatin1Char(' ') + r.argument);
    return out;
}

#endif
