// Upgrade, restore the backed-up version, upgrade again, over and over, with
// the line cut in some of the runs: after every run the terminal runs a whole
// executable of the expected version, and the upgrader reads that version
// back; the backup stays the very executable the terminal first had.
#include "ReliabilitySupport.h"

#include "ui/SecondaryWindows.h"

#include <QListWidget>

namespace {

using namespace reliability;

enum class Act { Upgrade, Restore };

struct CycleStep {
    const char* name;
    Act act;
    // The cut on the way: the item (counted from the press) and what it must
    // be; 0 for a run without a cut.
    int cutItem;
    const char* item;
    CutKind kind;
    qint64 afterBytes;
    // What the terminal runs afterwards (after a power cycle when cut).
    const char* runs;
};

const CycleStep kCycle[] = {
    {"upgrade, links reset halfway through the upload", Act::Upgrade, 19, "FTP STOR /tffs0/bin/qorax_5_7_2_0.bin",
     CutKind::ResetLinks, 100 * 1024, "5.7.1.12"},
    {"upgrade", Act::Upgrade, 0, "", CutKind::PowerOff, -1, "5.7.2.0"},
    {"restore, power off halfway through its upload", Act::Restore, 5, "FTP STOR /tffs0/bin/qorax_5_7_1_12.bin",
     CutKind::PowerOff, 32 * 1024, "5.7.2.0"},
    {"restore, reboot inside the descriptor put", Act::Restore, 12, "FTP STOR image.txt", CutKind::Reboot, 11,
     "Boot ROM"},
    {"restore from the Boot ROM", Act::Restore, 0, "", CutKind::PowerOff, -1, "5.7.1.12"},
    {"upgrade, reboot at the descriptor fetch", Act::Upgrade, 7, "FTP RETR image.txt", CutKind::Reboot, -1, "5.7.1.12"},
    {"upgrade", Act::Upgrade, 0, "", CutKind::PowerOff, -1, "5.7.2.0"},
    {"restore", Act::Restore, 0, "", CutKind::PowerOff, -1, "5.7.1.12"},
    {"upgrade", Act::Upgrade, 0, "", CutKind::PowerOff, -1, "5.7.2.0"},
};

TEST(ReliabilityCycle, UpgradeRestoreUpgradeWithCutsBetween)
{
    Bench b;
    for (const CycleStep& step : kCycle) {
        SCOPED_TRACE(step.name);
        const bool bootRom = b.sim->inBootRom();
        ASSERT_TRUE(b.startUpgrader(bootRom ? kVersionDone : kReleaseInfoDone));
        // What the upgrader reads is what the terminal runs.
        if (!bootRom) {
            EXPECT_EQ(b.w().txtCurrentSoftwareVersion->text(), b.sim->runningVersion());
        }
        EXPECT_EQ(b.w().isBootRomMode, bootRom);

        const quint64 atSeq = b.lastSeq() + quint64(step.cutItem);
        const int cutsBefore = b.sim->status().cuts;
        if (step.cutItem > 0)
            b.armCut(step.kind, atSeq, step.afterBytes);
        HangGuard guard(b.w(), kRunLimitMs);
        if (step.act == Act::Upgrade) {
            b.upgradeSoftware();
        } else {
            b.u->dialogs.queueWindowScript([](QDialog& d) {
                auto& r = static_cast<frmRestore&>(d);
                const auto found = r.lstOldSoftwareVersions->findItems(QStringLiteral("5.7.1.12"), Qt::MatchExactly);
                if (!found.isEmpty())
                    r.lstOldSoftwareVersions->setCurrentItem(found.first());
                r.cmdOkRestore->click();
            });
            b.w().cmdRestore->click();
        }

        if (step.cutItem > 0) {
            ASSERT_TRUE(waitUntil([&] { return b.sim->status().cuts > cutsBefore || guard.hung(); }, kRunLimitMs));
            EXPECT_EQ(b.itemAt(atSeq), QString::fromLatin1(step.item));
            ASSERT_TRUE(guard.waitSettled());
            b.u.reset();
            powerCycle(b);
        } else {
            // The upgrader reads the new version back itself.
            ASSERT_TRUE(waitUntil(
                [&] {
                    return b.w().txtCurrentSoftwareVersion->text() == step.runs &&
                           b.w().statusText().endsWith("Versions read back: every item took.") &&
                           settled(b.w()) && b.w().mousePointer() == 0;
                },
                kRunLimitMs))
                << b.w().statusText().toStdString();
            for (const MsgRecord& box : b.u->dialogs.boxes())
                EXPECT_NE(box.title, "Upgrader: FAULT") << box.text.toStdString();
            b.u.reset();
        }
        EXPECT_EQ(expectWholeExecutableRuns(b), step.runs);
        expectOnlyWholeFiles(b);
        expectCompleteLogs(b.home);
        if (HasFailure())
            break;
    }
}

}  // namespace
