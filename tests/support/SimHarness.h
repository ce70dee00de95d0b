#pragma once

#ifdef QORA_HAVE_SIM

#include "Terminal.h"

#include "support/Printers.h"

#include <QTemporaryDir>

#include <memory>

// A simulated terminal on 127.0.0.1 for scenario tests, at time scale 0.01,
// booted from a flash seeded with 5.7.1.12; the upgrader's settings point at it.
struct SimHarness {
    // appAddress: where the application answers; the Boot ROM always
    // answers at 127.0.0.1, the upgrader's default address.
    explicit SimHarness(const QString& appAddress = QStringLiteral("127.0.0.1"));
    ~SimHarness();

    qsim::Terminal& terminal() { return *terminal_; }
    qsim::Terminal* operator->() { return terminal_.get(); }

    // ZING requests received, each as its raw bytes.
    QList<QByteArray> zingRequests() const;
    // ZING request codes received, in order.
    QList<quint32> zingCodes() const;
    // FTP commands received ("RETR image.txt", "QUIT", ...).
    QStringList ftpCommands() const;

private:
    QTemporaryDir flashDir_;
    std::unique_ptr<qsim::Terminal> terminal_;
};

#endif
