// Interpretation of the terminal's version answer, the compatibility rule
// and platform identification.
#include "app/frmMain.h"

#include "ident/Platform.h"
#include "ident/VersionText.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

void frmMain::Util_InterpretVersionResponse(const QString& versionText)
{
    const ident::VersionInterpretation v = ident::interpretVersionText(versionText);
    writeLogLines(v.log);
    if (v.isBootRomMode)
        isBootRomMode = *v.isBootRomMode;
    if (v.isBromCompatSupported)
        isBromCompatSupported = *v.isBromCompatSupported;
    termBootCompatLevel = v.termBootCompatLevel;
    if (v.showBootRomMode) {
        strCurrentVersion = ident::kBootRomModeVersion;
        txtCurrentSoftwareVersion->setText(strCurrentVersion);
    }
    if (v.readPicVersion)
        Util_GrabTermPICVersion(versionText, true);
}

bool frmMain::Util_ApplyCompatibilityRule()
{
    // Without a package (an action that installs nothing) there is nothing to refuse or offer.
    if (strLocalBinFile.isEmpty())
        return true;
    if (ident::packageRefused(binBootCompatLevel, termBootCompatLevel)) {
        WriteLog(qlog::LOG_INF, ident::packageRefusedLogLine(binBootCompatLevel));
        msgBox(ident::compatibilityWarningText(binBootCompatLevel, termBootCompatLevel), MsgButtons::OK,
               MsgIcon::Critical, ident::kCompatibilityWarningTitle);
        SetMouseCursor(0);
        DisableButtons();
        return false;
    }
    cmdUpgrade->setEnabled(true);
    cmdUpgradeMenu->setEnabled(true);
    return true;
}

void frmMain::Util_IdentifyPlatform(const QString& dottedVersion)
{
    WriteLog(qlog::LOG_VRB, QStringLiteral(">> Util_IdentifyPlatform()"));
    const ident::ConnectedPlatform p = ident::identifyConnectedPlatform(dottedVersion);
    connectedPlatformId = p.id;
    writeLogLines(p.log);
}

void frmMain::Util_IdentifyPackagedPlatformBin(const QString& dottedVersion)
{
    WriteLog(qlog::LOG_VRB, QStringLiteral(">> Util_IdentifyPackagedPlatformBin()"));
    const ident::PackagedPlatform p = ident::identifyPackagedPlatform(dottedVersion, strPackagedPlatformName);
    packagedPlatformId = p.id;
    strPackagedPlatformName = p.name;
    if (p.showsPicVersionLabel)
        lblLocPICVer->setVisible(true);
    writeLogLines(p.log);
}

bool frmMain::DetectReleaseSeriesConflict(const QString& versionToInstall)
{
    WriteLog(qlog::LOG_VRB, QStringLiteral(">> DetectReleaseSeriesConflict()"));
    const ident::SeriesDecision d = ident::DetectReleaseSeriesConflict(
        strCurrentVersion, versionToInstall, isFactoryMode, isBootRomMode, isConnectedWithoutVersion);
    writeLogLines(d.log);
    return d.permitted;
}
