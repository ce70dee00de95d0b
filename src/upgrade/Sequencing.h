#pragma once

#include <QString>

#include <cstdint>

// The order of the upgrade items and the texts that confirm them.
namespace upg {

// The warning shown before a PIC upgrade; platforms 8 and 10 need the
// battery removed and do not restart by themselves.
QString picWarning(int32_t connectedPlatformId, int32_t packagedPlatformId);

// The question asked before an upgrade of the chosen items.
QString confirmationText(bool software, bool antenna, bool pic, int32_t connectedPlatformId,
                         int32_t packagedPlatformId);

// What comes after an item has finished.
struct NextStep {
    enum Action { None, StartAntenna, StartPic } action = None;
    int32_t newState = -1;  // -1: currUpgradeState stays
    bool clearAntennaPending = false;
    bool clearPicPending = false;
    QString logLine;
    QString statusText;     // empty: unchanged
    bool displayIdle = false;  // frames back to normal and pending selections cleared
};

NextStep nextStep(int32_t currUpgradeState, bool isUpgAntSelected, bool isAntennaFwOk, bool isUpgPicSelected,
                  bool isPicFwOk);

}  // namespace upg
