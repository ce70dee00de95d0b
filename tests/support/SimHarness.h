#pragma once

#ifdef QORA_HAVE_SIM

#include "Terminal.h"

#include "support/Printers.h"

#include <QTemporaryDir>

#include <memory>

// A simulated terminal on loopback for scenario tests, with the upgrader's
// settings pointed at it. The application answers at appAddress, the Boot ROM
// at the default address.
struct SimHarness {
    struct Options {
        QString appAddress = QStringLiteral("127.0.0.1");
        QString defaultAddress = QStringLiteral("127.0.0.1");
        QString runningVersion = QStringLiteral("5_7_1_12");  // booted from the seeded flash
        double timeScale = 0.01;
        bool start = true;
    };

    SimHarness();
    explicit SimHarness(const Options& options);
    ~SimHarness();

    qsim::Terminal& terminal() { return *terminal_; }
    qsim::Terminal* operator->() { return terminal_.get(); }
    const Options& options() const { return options_; }

    // ZING requests received, each as its raw bytes.
    QList<QByteArray> zingRequests() const;
    // ZING request codes received, in order.
    QList<quint32> zingCodes() const;
    // FTP commands received ("RETR image.txt", "QUIT", ...).
    QStringList ftpCommands() const;

private:
    Options options_;
    QTemporaryDir flashDir_;
    std::unique_ptr<qsim::Terminal> terminal_;
};

#endif
