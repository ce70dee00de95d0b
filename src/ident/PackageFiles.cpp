// Discovery of the application package in the home folder.
#include "app/frmMain.h"

#include "app/TextUtil.h"
#include "ident/Platform.h"
#include "ident/VersionText.h"
#include "platform/Files.h"
#include "zing/ZingTexts.h"

#include <QDir>
#include <QLineEdit>

namespace {
const QString kPackagePrefix = QStringLiteral("qorax_");
const QString kPackagePattern = QStringLiteral("*qorax_*.bin");
// The last 18 bytes of a package may carry its Boot ROM compatibility level.
constexpr qint64 kTailLength = 18;
}  // namespace

void frmMain::noPackageIn(const QString& dir)
{
    WriteLog(qlog::LOG_ERR, QStringLiteral("No .bin files found in: ") + dir + kPackagePrefix + QStringLiteral("*.bin"));
    msgBox(QStringLiteral("Unable to find binary file in: ") + dir + kPackagePrefix + QStringLiteral("*.bin"), MsgButtons::OK,
           MsgIcon::Exclamation, zing::kTitleFault);
}

bool frmMain::enterFolder(const QString& folder)
{
    if (QDir::setCurrent(folder))
        return true;
    msgBox(QStringLiteral("Unable to open the folder: ") + folder, MsgButtons::OK, MsgIcon::Exclamation, zing::kTitleFault);
    return false;
}

bool frmMain::enterPackageFolder()
{
    bool entered = startFolder_.isEmpty() || enterFolder(startFolder_);
    if (!isPackageFolderChooser_ || packageOptional_)
        return entered;
    // Only a folder the user named or chose is used: after one that could not
    // be opened, not the one the program happened to start in either. A
    // package missing from such a folder is said before asking again.
    bool named = !startFolder_.isEmpty();
    bool asked = false;
    while (!entered || Files::find(Files::currentDirWithSeparator(), kPackagePattern).isEmpty()) {
        if (entered && named)
            noPackageIn(Files::currentDirWithSeparator());
        const std::optional<QString> folder = dialogs_.chooseFolder(
            this, QStringLiteral("Choose the folder of the release package (qorax_*.bin)"), Files::currentDirWithSeparator());
        if (!folder)
            return false;
        entered = enterFolder(*folder);
        named = asked = true;
    }
    if (asked)
        WriteLog(qlog::LOG_INF, QStringLiteral("Package folder chosen: ") + Files::currentDirWithSeparator());
    return true;
}

bool frmMain::Util_LocatePackagedBin()
{
    const QStringList found = Files::find(strHomeDir, kPackagePattern);
    if (found.isEmpty()) {
        noPackageIn(strHomeDir);
        return false;
    }
    strLocalBinFile = found.first();
    for (const QString& name : found)
        WriteLog(qlog::LOG_INF, QStringLiteral("Found file '") + name + QStringLiteral("'"));
    if (found.size() > 1) {
        const QString count = QString::number(found.size());
        WriteLog(qlog::LOG_ERR, QStringLiteral("ERR: - found multiple (") + count + QStringLiteral(") .bin files in ") + strHomeDir);
        msgBox(QStringLiteral("Multiple (") + count + QStringLiteral(") binary files found in ") + strHomeDir +
                   zing::kCrLf + QStringLiteral("Please make sure there is only one binary file in that directory."),
               MsgButtons::OK, MsgIcon::Exclamation, zing::kTitleFault);
        return false;
    }

    const ident::PackageVersion pkg = ident::packageVersionFromFileName(strLocalBinFile);
    if (!pkg.usable()) {
        // Such a name yields no version to install or to name on the terminal.
        WriteLog(qlog::LOG_ERR, QStringLiteral("Package file '") + strLocalBinFile + QStringLiteral("' cannot be used: ") + pkg.problem);
        msgBox(QStringLiteral("Unable to use binary file ") + strHomeDir + strLocalBinFile + zing::kCrLf +
                   QStringLiteral("The file name must be qorax_<version>.bin, for example qorax_5_7_1_12.bin."),
               MsgButtons::OK, MsgIcon::Exclamation, zing::kTitleFault);
        return false;
    }
    strNewVersion = pkg.version;
    txtNewSoftwareVersion->setText(ident::SearchAndReplace(strNewVersion, QStringLiteral("_"), QStringLiteral(".")));

    Util_IdentifyPackagedPlatformBin(txtNewSoftwareVersion->text());
    strWindowTitle = ident::platformTitle(windowTitle(), strPackagedPlatformName);
    setWindowTitle(strWindowTitle);

    strBinFileDate = Files::lastModified(strHomeDir + strLocalBinFile).date().toString(QStringLiteral("yyyy-MM-dd"));
    packageAtStart_ = sightPackage();
    return Util_ReadPackageCompatLevel(strLocalBinFile);
}

bool frmMain::Util_ReadPackageCompatLevel(const QString& fileName)
{
    const QString path = strHomeDir + fileName;
    QString why;
    const std::optional<QByteArray> tail = Files::readTail(path, kTailLength, &why);
    if (!tail) {
        // A package that cannot be read has no level to compare, and could
        // not be uploaded either: say so rather than refuse it as too old.
        WriteLog(qlog::LOG_ERR, QStringLiteral("Package file '") + fileName + QStringLiteral("' cannot be read: ") + why);
        msgBox(QStringLiteral("Unable to read binary file ") + path + zing::kCrLf + why, MsgButtons::OK,
               MsgIcon::Exclamation, zing::kTitleFault);
        return false;
    }
    const ident::PackageLevel level = ident::packageLevelFromTail(*tail, fileName);
    binBootCompatLevel = level.level;
    writeLogLines(level.log);
    return true;
}

void frmMain::Util_CleanUpHomeDirectory()
{
    WriteLog(qlog::LOG_VRB, QStringLiteral(">> Util_CleanUpHomeDirectory()"));
    const QStringList found = Files::find(strHomeDir, QStringLiteral("image*.txt"));
    if (!found.isEmpty())
        Files::remove(strHomeDir + found.first());
}

void frmMain::UI_CheckFactoryMode()
{
    WriteLog(qlog::LOG_VRB, QStringLiteral(">> UI_CheckFactoryMode()"));
    const QStringList found = Files::find(strHomeDir, QStringLiteral("factory.txt"));
    strFactoryFile = found.value(0);
    if (!found.isEmpty()) {
        isFactoryMode = true;
        setWindowTitle(windowTitle() + ident::kFactoryModeTitleSuffix);
        WriteLog(qlog::LOG_INF, QStringLiteral("QORA Upgrader _Factory-mode_"));
    } else {
        isFactoryMode = false;
    }
}
