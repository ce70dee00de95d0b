#include "support/SimHarness.h"

#ifdef QORA_HAVE_SIM

#include "platform/Settings.h"
#include "support/Upgrader.h"

#include <stdexcept>

SimHarness::SimHarness(const QString& appAddress)
{
    const QString address = QStringLiteral("127.0.0.1");
    qsim::Config cfg;
    cfg.flashDir = flashDir_.path();
    cfg.appAddress = QHostAddress(appAddress);
    cfg.defaultAddress = QHostAddress(address);
    cfg.timeScale = 0.01;
    terminal_ = std::make_unique<qsim::Terminal>(cfg);
    terminal_->flash().seedDemo(QStringLiteral("5_7_1_12"), 64 * 1024);
    QString error;
    if (!terminal_->start(&error) || !terminal_->waitUntilUp(5000))
        throw std::runtime_error("simulator did not start: " + error.toStdString());
    Settings::set(loopbackSettings(address, terminal_->zingPort(), terminal_->ftpPort(), terminal_->telnetPort(), cfg.timeScale));
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
