#pragma once

#ifdef QORA_HAVE_SIM

#include "support/SimHarness.h"
#include "support/TestHome.h"
#include "support/Upgrader.h"
#include "support/WaitUntil.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>

#include <gtest/gtest.h>

#include <memory>

inline const QString kReleaseInfoDone = QStringLiteral("Operation Successful.  Release Info retrieved!");
inline const QString kVersionDone = QStringLiteral("Operation Successful.  Software version retrieved!");
// The verdict of an upgrade or a restore in which every item took.
inline const QString kUpgradeTook = QStringLiteral("Upgrade Successful.  Versions read back: every item took.");

// The simulated terminal, a home folder and the upgrader pointed at them.
struct SimBench {
    // A fresh upgrader once it has read what the terminal runs; its boxes
    // (and, when forgetRecords, the terminal's records) so far are forgotten.
    bool startUpgrader(const QString& settledStatus = kReleaseInfoDone)
    {
        u = std::make_unique<Upgrader>();
        const bool ok = u->load() &&
                        waitUntil([&] { return w().statusText() == settledStatus && w().mousePointer() == 0; }, 8000);
        EXPECT_TRUE(ok) << "the upgrader did not start: " << w().statusText().toStdString();
        u->dialogs.clear();
        if (forgetRecords)
            sim->clearRecords();
        return ok;
    }
    frmMain& w() { return u->w(); }

    // Ticks the software item, answers the confirmation and presses Upgrade.
    void upgradeSoftware(MsgResult answer = MsgResult::Yes)
    {
        w().chkBinUpg->setChecked(true);
        u->dialogs.queueAnswer(answer);
        w().cmdUpgrade->click();
    }

    // The terminal runs this version, the upgrader has read it back, its
    // action is over (its verdict given) and it is idle.
    bool waitForVersion(const QString& dotted, int ms = 15000)
    {
        return waitUntil(
            [&] {
                return sim->runningVersion() == dotted && w().txtCurrentSoftwareVersion->text() == dotted &&
                       actionOver();
            },
            ms);
    }
    bool actionOver()
    {
        return w().mousePointer() == 0 && w().currUpgradeState == UPG_STATE_IDLE && w().nothingRunning() &&
               !w().verdictPending();
    }

    QByteArray flashFile(const QString& path) { return sim.terminal().flash().read(path).value_or("<missing>"); }

    SimHarness sim;
    TestHome home;
    std::unique_ptr<Upgrader> u;
    bool forgetRecords = true;
};

class SimUpgrade : public ::testing::Test, public SimBench {};

#endif
