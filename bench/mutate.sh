#!/usr/bin/env bash
# The mutation check: each named mutation is one small change to a line that
# guards something a user would lose if it broke. Applied one at a time to a
# scratch copy of the committed tree, rebuilt, and run against the tests that
# should notice; prints each mutation with the tests that caught it and fails
# when one was not caught (or no longer applies to the code).
#
#   bench/mutate.sh                 # every mutation
#   bench/mutate.sh NAME...         # only these
#   bench/mutate.sh --list          # the names
#   MUTATE_DIR=/tmp/m bench/mutate.sh   # where the scratch tree and its build go
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
. scripts/common.sh
export_loopback_settings

# name @@ file @@ the text as it is @@ the text mutated @@ ctest regex of the tests that should notice
# (\n stands for a line break; the text must occur exactly once in the file)
read -r -d '' MUTATIONS <<'EOF' || true
partial-download-left @@ src/platform/InetFtp.cpp @@        download_.reset();\n        QFile::remove(temp);\n    }\n    upload_.reset(); @@        download_.reset();\n    }\n    upload_.reset(); @@ InetFtp|ReliabilityPcSide
backup-not-renamed @@ src/platform/InetFtp.cpp @@ std::filesystem::rename(QFile::encodeName(temp).toStdString(), QFile::encodeName(downloadTarget_).toStdString(), ec); @@ (void)ec; @@ SoftwareUpgrade|InetFtp
running-executable-deleted @@ src/ftp/FtpLogic.cpp @@ if (nameToKeep.contains(entry)) @@ if (false) @@ Deletions|SoftwareUpgrade
odd-names-deleted @@ src/ftp/FtpLogic.cpp @@ bool isOddName(const QString& name)\n{ @@ bool isOddName(const QString& name)\n{\n    return false; @@ Deletions|ReliabilityNames|FtpFileNames
wildcard-names-deleted @@ src/ftp/FtpLogic.cpp @@             c == QLatin1Char('*') || c == QLatin1Char('?')) @@             false) @@ Deletions
loopback-guard-open @@ src/platform/Settings.cpp @@ return parseIPv4(host, &addr) && (addr >> 24) == 127; @@ return true; @@ SettingsTest|TcpClientTest|InetFtpTest|FtpPutFaults|AnAddressOutsideLoopback
data-to-another-host @@ src/platform/InetFtp.cpp @@ d->connectToHost(peer_, port); @@ d->connectToHost(QHostAddress(QStringLiteral("127.0.0.2")), port); @@ InetFtpPassive
local-failure-as-refusal @@ src/platform/InetFtp.cpp @@     fail(errLocalFile, @@     fail(errRefused, @@ ReliabilityPcSide|InetFtpRefusals
any-refusal-is-absence @@ src/ftp/FtpEngine.cpp @@ const bool absent = inetFTP->replyCode() == ftp::kReplyFileUnavailable; @@ const bool absent = true; @@ FtpFault|ReliabilityPcSide
descriptor-always-valid @@ src/ftp/FtpLogic.cpp @@ if (fileContent.size() <= kMaxImageBytes && p1 >= 0 && p2 >= 0 && p1 < p2) { @@ if (true) { @@ ImageDescriptor|ReliabilityNames
deletions-before-backup @@ src/ftp/FtpEngine.cpp @@         UPG_HandleSwBackupAndProceed();\n        break; @@         UPG_DeleteOldBinsThenUpload();\n        break; @@ ReliabilityPcSide|SoftwareUpgrade
release-series-open @@ src/ident/Platform.cpp @@ verdict = QStringLiteral("Upgrade Not permitted !"); @@ r.permitted = true; @@ PlatformReleaseSeries|SoftwareUpgrade
compatibility-open @@ src/ident/VersionText.cpp @@ return binLevel < termLevel; @@ return false; @@ VersionCompatibility|Zing
package-level-anywhere @@ src/ident/VersionText.cpp @@ r.level = parseLevel(field.mid(kBootComp.size()), &clamped); @@ r.level = parseLevel(field.mid(field.indexOf(kBootComp) + kBootComp.size()), &clamped); @@ VersionPackageTail
unreadable-version-accepted @@ src/zing/ZingResponses.cpp @@         if (dotted.isEmpty()) {\n            versionNotRead(*text); @@         if (false) {\n            versionNotRead(*text); @@ BadVersion
zing-answer-unmatched @@ src/zing/ZingResponses.cpp @@ return code == request + zing::VERSION_RESPONSE - zing::VERSION_CMD || @@ return true || @@ ReliabilityZing|Zing
endless-reply @@ src/platform/FtpReply.cpp @@     if (++pendingLines_ > kMaxReplyLines) { @@     if (false) { @@ FtpReplyParser|InetFtpOddReplies
download-unlimited @@ src/platform/InetFtp.cpp @@ if (opDownloadLimit_ >= 0 && downloaded_ > opDownloadLimit_) @@ if (false) @@ InetFtpTest|TerminalLog
upload-size-unchecked @@ src/platform/InetFtp.cpp @@     if (remoteBytes == uploadCheck_.sentBytes) { @@     if (true) { @@ InetFtp|FtpFault
close-not-awaited @@ src/ftp/FtpEngine.cpp @@ while (inetFTP->closing() && !unloaded_ @@ while (false && !unloaded_ @@ TerminalLog
second-instance-allowed @@ src/app/Startup.cpp @@     if (lock->tryLock(0)) { @@     if (true) { @@ OneUpgrader
antenna-fit-open @@ src/upgrade/AntennaLogic.cpp @@     if (terminal != CLASS_11_IAC)\n        return terminal == files.atb || terminal == files.hpa; @@     if (terminal != CLASS_11_IAC)\n        return true; @@ Antenna
antenna-upload-keeps-done-flag @@ src/ftp/FtpEngine.cpp @@             // As every upload: a failure of this one must end the step.\n            isFtpDone = false;\n @@  @@ Antenna|ItemUpload
pic-upload-keeps-done-flag @@ src/upgrade/PicFirmware.cpp @@     isFtpDone = false;\n    issueFtp(QStringLiteral("PUT ") + ftp::quoted(strHomeDir + strLocalPicFile) @@     issueFtp(QStringLiteral("PUT ") + ftp::quoted(strHomeDir + strLocalPicFile) @@ ItemUpload
pic-fail-as-success @@ src/upgrade/PicLogic.cpp @@ } else if (reflash == Reflash::Failed) { @@ } else if (false) { @@ PicVerdict|Pic
pic-battery-beside-error @@ src/upgrade/PicLogic.cpp @@     if (answer.contains(QLatin1String("BATT_PRESENT=1")))\n        return Battery::Present;\n    if @@     if @@ PicShell|Pic
pic-verdict-by-version @@ src/upgrade/PicLogic.cpp @@ } else if (ident::sameVersion(reportedPic, fileVersion)) { @@ } else if (true) { @@ PicVerdict|Pic
pic-verdict-ignores-boot-rom @@ src/upgrade/PicLogic.cpp @@     } else if (bootRom) { @@     } else if (false) { @@ PicVerdict|Pic
pic-stale-backup-overwritten @@ src/upgrade/PicLogic.cpp @@ return backup == Shown::Missing ? PrepAction::BackUp : PrepAction::StaleBackup; @@ return PrepAction::BackUp; @@ PicShell
pic-backup-overwritten-on-retry @@ src/upgrade/PicLogic.cpp @@     case Shown::PicCopy:\n        return PrepAction::AlreadySwapped; @@     case Shown::PicCopy:\n        return PrepAction::BackUp; @@ PicShell|ReliabilityPic
pic-good-descriptor-removed @@ src/upgrade/PicLogic.cpp @@ return image == Shown::PicCopy ? RestoreAction::Remove : RestoreAction::Nothing; @@ return RestoreAction::Remove; @@ PicShell|ReliabilityPic
pic-answer-before-its-end @@ src/upgrade/PicLogic.cpp @@ const qsizetype end = text.indexOf(QLatin1Char( @@ const qsizetype end = text.size() + 0 * text.indexOf(QLatin1Char( @@ PicShell|Pic
pic-echo-as-reflash-verdict @@ src/upgrade/PicLogic.cpp @@     if (echo.startsWith(rest))\n        return QuietReflash::Wait;  // the echo, or its start\n    if (rest.startsWith(echo))\n        rest = rest.mid(echo.size()).trimmed();\n @@  @@ PicShell|real.telnet
pic-pieces-not-joined @@ src/upgrade/PicTelnet.cpp @@     picShell_.add(piece); @@     picShell_.restart();\n    picShell_.add(piece); @@ Pic
pic-log-unbounded @@ src/upgrade/PicLogic.cpp @@     if (logged_ + lineBytes > kLogBytes) { @@     if (false) { @@ PicShell|Pic
pic-state-not-at-rest @@ src/upgrade/PicTelnet.cpp @@     if (picUpgradeState != PIC_UPG_STATE_INIT_CONNECT)\n        setPicState(PIC_UPG_STATE_INIT_CONNECT);\n    WriteLog(qlog::LOG_INF, why @@     WriteLog(qlog::LOG_INF, why @@ Pic
pic-upload-failure-completes @@ src/upgrade/PicFirmware.cpp @@ its file was not uploaded.  Upgrade ended."));\n    currUpgradeState = UPG_STATE_IDLE; @@ its file was not uploaded.  Upgrade ended.")); @@ PicItem|ItemUpload
pic-file-unchecked @@ src/upgrade/PicFirmware.cpp @@     if (bytes < pic::kMinFileBytes) { @@     if (false) { @@ PicItem
pic-reset-at-app-address @@ src/zing/ZingRequests.cpp @@     if (std::exchange(isResetAtDefaultIp_, false)) @@     if (false) @@ PicFail
pic-interrupted-not-named @@ src/upgrade/PicFirmware.cpp @@     if (!found.ok() || found.absent) { @@     if (true) { @@ ReliabilityPic
pic-boot-rom-not-offered @@ src/upgrade/PicFirmware.cpp @@     UI_EnablePICFunctionality();\n    chkPICUpg->setEnabled(true);\n    // The backup @@     // The backup @@ ReliabilityPic
antenna-class2-standalone @@ src/upgrade/AntennaLogic.cpp @@     const int32_t atb = files.atb == kNoFile ? 0 : files.atb; @@     const int32_t atb = files.atb; @@ AntennaFit
antenna-no-status-silent @@ src/zing/ZingResponses.cpp @@         antennaNotConfirmed(QStringLiteral("Antenna FW Upgrade response without its status.")); @@  @@ Antenna
pic-watchdog-never-gives-up @@ src/upgrade/PicFirmware.cpp @@     if (picUpgRetryCount <= 10)\n        return; @@     return; @@ Pic
cli-exit-always-success @@ src/app/CliRunner.cpp @@ exitCode = failureCode(cause.code).exitStatus; @@ exitCode = Success; @@ Cli
package-folder-not-asked @@ src/ident/PackageFiles.cpp @@ while (!entered || Files::find(Files::currentDirWithSeparator(), kPackagePattern).isEmpty()) { @@ while (!entered) { @@ StartupPackageFolder
named-folder-ignored @@ src/ident/PackageFiles.cpp @@ bool entered = startFolder_.isEmpty() || enterFolder(startFolder_); @@ bool entered = true; @@ StartupPackageFolder
unopened-folder-falls-back @@ src/ident/PackageFiles.cpp @@ while (!entered || Files::find( @@ while (Files::find( @@ StartupPackageFolder
log-before-package-folder @@ src/app/Startup.cpp @@ if (!enterPackageFolder()) { @@ InitLogging();\n    if (!enterPackageFolder()) { @@ StartupPackageFolder
early-log-dropped @@ src/log/LogFile.cpp @@ qlog::headerBlock(now) + std::exchange(earlyLog_, {}); @@ qlog::headerBlock(now); @@ StartupPackageFolder
cli-asks-for-folder @@ src/app/CliRunner.cpp @@ w.setPackageFolderChooser(false); @@ w.setPackageFolderChooser(true); @@ Cli
toolkit-option-as-folder @@ src/app/CommandLine.cpp @@ || leftByToolkit.last() != last) @@ ) @@ StartupCommandLine
desktop-entry-no-folder @@ data/qora-upgrader.desktop @@ Exec=qora-upgrader %f @@ Exec=qora-upgrader @@ install.desktop
log-shared-in-same-second @@ src/log/LogFile.cpp @@ if (Files::createNew(strLogFilePath, start, Files::kOwnerOnly) != Files::NewFile::Exists) @@ if (Files::append(strLogFilePath, start, Files::kOwnerOnly)) @@ RunLog
box-not-logged @@ src/app/frmMain.cpp @@ WriteLog(qlog::LOG_INF, qlog::boxLine(title, text)); @@ (void)0; @@ RunLog|StartupPackageFolder
box-answer-inverted @@ src/app/frmMain.cpp @@ answer == MsgResult::Yes ? QStringLiteral("Answered Yes") @@ answer != MsgResult::Yes ? QStringLiteral("Answered Yes") @@ RunLog
box-text-raw @@ src/log/LogFormat.cpp @@ QStringLiteral("\": ") + printableText(text); @@ QStringLiteral("\": ") + text; @@ LogPrintableText
connection-not-logged @@ src/platform/TcpClient.cpp @@ onConnectLog(qlog::connectionLine(name_, remoteHost, remotePort)); @@ (void)0; @@ RunLog
ftp-connection-not-logged @@ src/platform/InetFtp.cpp @@ onConnectLog(qlog::connectionLine(QStringLiteral("inetFTP"), host_, port)); @@ (void)0; @@ RunLog
ftp-data-connection-not-logged @@ src/platform/InetFtp.cpp @@ onConnectLog(qlog::connectionLine(QStringLiteral("inetFTP data"), peer_.toString(), port)); @@ (void)0; @@ RunLog
oneshot-connection-not-logged @@ src/platform/FtpPut.cpp @@ owner_.logConnection(QStringLiteral("FtpPut"), owner_.host_, port); @@ (void)0; @@ RunLog
oneshot-data-connection-not-logged @@ src/platform/FtpPut.cpp @@ owner_.logConnection(QStringLiteral("FtpPut data"), control_.peerAddress().toString(), *dataPort); @@ (void)0; @@ RunLog
earlier-log-replaced @@ src/ftp/TerminalLog.cpp @@     if (!setEarlierLogAside(local, &aside))\n        return; @@     Files::remove(local); @@ TerminalLog|ReliabilityPcSide|Cli
earlier-log-not-put-back @@ src/ftp/TerminalLog.cpp @@     if (aside.isEmpty() || Files::exists(local))\n        return; @@     return; @@ TerminalLog|ReliabilityPcSide
earlier-log-name-taken @@ src/ftp/TerminalLog.cpp @@         if (Files::exists(name))\n            continue;\n @@  @@ TerminalLog
log-entry-live-when-busy @@ src/ui/ControlStates.cpp @@     for (QAction* a : {cmdSetModemIP, cmdGetSoftwareVersion, cmdDownloadLog, cmdRestoreDefaults, cmdResetModem})\n        a->setEnabled(false); @@     for (QAction* a : {cmdSetModemIP, cmdGetSoftwareVersion, cmdRestoreDefaults, cmdResetModem})\n        a->setEnabled(false); @@ WindowTest
upgrade-selections-dead @@ src/ui/MainWindowLayout.cpp @@ QStringLiteral("&Upgrade Selections\tCtrl+U"),\n                           &frmMain::cmdUpgrade_Click); @@ QStringLiteral("&Upgrade Selections\tCtrl+U"), nullptr); @@ RefusedPresses
address-box-editable @@ src/ui/MainWindowLayout.cpp @@     e->setReadOnly(true); @@     e->setReadOnly(false); @@ WindowTest
octet-over-255 @@ src/ui/AddressOctets.cpp @@ return value <= kMaxOctet ? QValidator::Acceptable : QValidator::Invalid; @@ return QValidator::Acceptable; @@ AddressOctets|WindowTest
octet-dot-stays @@ src/ui/SecondaryWindows.cpp @@         boxes[i + 1]->setFocus(Qt::TabFocusReason);\n @@  @@ WindowTest
octet-enter-ignored @@ src/ui/SecondaryWindows.cpp @@     cmdUpdate->setDefault(true); @@     cmdUpdate->setDefault(false); @@ WindowTest
octet-empty-taken @@ src/ui/SecondaryWindows.cpp @@     if (address.isEmpty()) {\n        lblProblem @@     if (false) {\n        lblProblem @@ WindowTest
status-line-greyed-when-disabled @@ src/ui/MainWindowLayout.cpp @@     sbUpgrade->setPalette(ui::readableWhenDisabled(sbUpgrade->palette()));\n @@  @@ WindowTest
status-line-shows-its-end @@ src/ui/ControlStates.cpp @@     sbUpgrade->setCursorPosition(0);\n @@  @@ WindowTest
status-line-whole-text-hidden @@ src/ui/ControlStates.cpp @@     sbUpgrade->setToolTip(text);\n @@  @@ WindowTest
work-guard-open @@ src/ui/ControlStates.cpp @@     if (terminalAtWork())\n        keepTerminalAtWork(); @@  @@ TerminalAtWork
close-unasked @@ src/ui/ControlStates.cpp @@     if (!doing)\n        return true;\n    return msgBox(work::closeQuestion @@     return true;\n    return msgBox(work::closeQuestion @@ TerminalAtWork
log-keys-during-work @@ src/ui/WindowCommands.cpp @@         if (terminalAtWork()) { @@         if (false) { @@ TerminalAtWork
factory-defaults-unasked @@ src/zing/ZingRequests.cpp @@ MsgButtons::YesNo, MsgIcon::Question, zing::kTitleUserAction, MsgResult::No) != MsgResult::Yes)\n        return;\n    ZingReq_RestoreFactoryDefaults(); @@ MsgButtons::YesNo, MsgIcon::Question, zing::kTitleUserAction, MsgResult::No) != MsgResult::Yes && false)\n        return;\n    ZingReq_RestoreFactoryDefaults(); @@ TerminalAtWork|ZingScenario
battery-question-yes-by-default @@ src/upgrade/PicTelnet.cpp @@ MsgButtons::YesNo, MsgIcon::Question, zing::kTitleUserAction, MsgResult::No); @@ MsgButtons::YesNo, MsgIcon::Question, zing::kTitleUserAction, MsgResult::Yes); @@ Pic
edit-keys-to-the-menu @@ src/ui/MainWindowLayout.cpp @@     if (qobject_cast<QLineEdit*>(w) && @@     if (false && @@ TerminalAtWork
verdict-any-software @@ src/upgrade/Verdict.cpp @@     i.took = !bootRom && !expected.isEmpty() && after == expected; @@     i.took = !bootRom && !expected.isEmpty(); @@ Verdict|SoftwareUpgrade|FtpFault
verdict-boot-rom-took @@ src/upgrade/Verdict.cpp @@     i.took = !bootRom && ident::sameVersion(after, expected); @@     i.took = ident::sameVersion(after, expected); @@ Verdict

sim-antenna-tag-ignored @@ sim/ZingService.cpp @@ const QString newAtb = mm.atbAfterUpgrade.isEmpty() ? atb : mm.atbAfterUpgrade; @@ const QString newAtb = mm.atbAfterUpgrade; @@ readme.scripts
sim-antenna-override-ignored @@ sim/ZingService.cpp @@ const QString newAtb = mm.atbAfterUpgrade.isEmpty() ? atb : mm.atbAfterUpgrade; @@ const QString newAtb = atb; @@ Antenna|Cli
sim-pic-tag-ignored @@ sim/TelnetService.cpp @@ const QString pic = m.picAfterReflash.isEmpty() ? carried_ : m.picAfterReflash; @@ const QString pic = m.picAfterReflash; @@ readme.scripts
sim-s0-header-unread @@ sim/TerminalTexts.cpp @@ if (image.startsWith("S0")) { @@ if (false) { @@ readme.scripts
man-page-option-missing @@ data/man/qora-upgrader-cli.1.in @@ .B \-\-list\-backups\nList the versions @@ .B \-\-list\nList the versions @@ man.pages
man-page-section-missing @@ data/man/qora-terminal-sim.1.in @@ .SH EXIT STATUS @@ .SS EXIT STATUS @@ man.pages
man-page-roff-warning @@ data/man/qora-upgrader.1.in @@ .SH SEE ALSO @@ .SH SEE ALSO\n.Sa @@ man.pages
window-help-opens-window @@ src/app/CommandLine.cpp @@ return Request::Help; @@ return Request::Window; @@ man.pages
man-pages-not-installed @@ CMakeLists.txt @@   install(FILES ${CMAKE_BINARY_DIR}/man/${page}.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)\n @@  @@ install.desktop
man-page-code-missing @@ data/man/qora-upgrader-cli.1.in @@ .B antenna\-class\n @@ .B antenna\-klass\n @@ readme.messages
work-reset-due-not-software @@ src/ui/ControlStates.cpp @@ upgPrepState == UPG_PREP_STACK_READY || isSoftwareResetDue_) @@ upgPrepState == UPG_PREP_STACK_READY) @@ TerminalAtWork
cli-box-not-the-cause @@ src/app/CliRunner.cpp @@             if (!ofTakenItem)\n                return {codeOfBox @@             if (false)\n                return {codeOfBox @@ Cli
cli-taken-item-box-as-cause @@ src/app/CliRunner.cpp @@ return i.v.took && i.v.name == it->item; @@ return false; @@ Cli
cli-question-as-cause @@ src/app/CliRunner.cpp @@ : r.answer == MsgResult::No; @@ : true; @@ Cli
cli-verdict-as-cause @@ src/app/CliRunner.cpp @@ if (!attention || isVerdict) @@ if (!attention) @@ Cli
cli-window-instructions-kept @@ src/app/CliCauses.cpp @@         if (!isWindowInstruction(sentence)) @@         if (true) @@ CliCauses
cli-heading-alone @@ src/app/CliCauses.cpp @@     if (isHeading(lines.join(QLatin1Char(' '))) && paragraphs.size() > 1) @@     if (false) @@ CliCauses
cli-telling-line-dropped @@ src/app/CliCauses.cpp @@ const bool telling = (k && line.contains(QLatin1String(k->fragment))) || @@ const bool telling = false || @@ CliCauses|Cli
cli-timeout-as-unreachable @@ src/app/CliCauses.cpp @@     {"FTP timeout.", "connection-lost"},\n @@  @@ CliCauses
cli-refusal-exit-as-failure @@ src/app/CliCauses.cpp @@ "run the front end in the folder of the release package",\n     NothingSent}, @@ "run the front end in the folder of the release package",\n     Failure}, @@ Cli
cli-failure-on-stdout @@ src/app/CliRunner.cpp @@             output_.err(line); @@             output_.out(line); @@ Cli
cli-status-due-as-current @@ src/app/CliRunner.cpp @@ exitCode = due_.isEmpty() ? Success : Failure; @@ exitCode = Success; @@ Cli
cli-status-unknown-as-due @@ src/app/CliRunner.cpp @@             if (o_.action == Action::Status && exitCode == Failure)\n                exitCode = StatusUnknown; @@  @@ Cli
cli-reinstall @@ src/app/CliRunner.cpp @@ if (p.current && !o_.force) { @@ if (false) { @@ Cli
cli-force-ignored @@ src/app/CliRunner.cpp @@ if (p.current && !o_.force) { @@ if (p.current) { @@ Cli
cli-stop-ignores-work @@ src/app/CliRunner.cpp @@ if (doing && *doing != work::Doing::Restart) { @@ if (false) { @@ Cli
cli-second-stop-silent @@ src/app/cli_main.cpp @@         if (secondWarningBytes > 0) @@         if (false) @@ Cli
cli-qt-runtime-warning @@ src/app/cli_main.cpp @@ if (type == QtWarningMsg && message.startsWith(QLatin1String("QStandardPaths: ")) && @@ if (false && message.startsWith(QLatin1String("QStandardPaths: ")) && @@ Cli
cli-terminal-bytes-raw @@ src/app/CliRunner.cpp @@     return qlog::fromTerminal(text); @@     return text; @@ Cli
cli-screen-controls-raw @@ src/app/cli_main.cpp @@ std::fputs(qlog::controlsShown(text, true).toLocal8Bit().constData(), to); @@ std::fputs(text.toLocal8Bit().constData(), to); @@ Cli.TerminalTexts
cli-json-controls-raw @@ src/app/CliRunner.cpp @@             return qlog::controlsShown(v.toString(), false); @@             return v.toString(); @@ Cli.TerminalTexts
verdict-versions-raw @@ src/upgrade/Verdict.cpp @@     i.after = qlog::fromTerminal(i.after); @@  @@ Cli.TerminalTexts
pic-verdict-version-raw @@ src/upgrade/PicLogic.cpp @@     const QString reported = qlog::fromTerminal(reportedPic); @@     const QString reported = reportedPic; @@ PicVerdict
log-terminal-text-raw @@ src/log/LogFormat.cpp @@     body += fromTerminal(said); @@     body += said; @@ LogLine|Cli.TerminalTexts
log-line-forged @@ src/log/LogFormat.cpp @@ would pass for an entry of its own.\n    body.replace( @@ would pass for an entry of its own.\n    if (false)\n        body.replace( @@ LogLine
log-controls-raw @@ src/log/LogFormat.cpp @@         } else if (isPrintableAscii(code) || code == u'\t') { @@         } else if (true) { @@ LogLine
ftp-reply-text-raw @@ src/platform/FtpReply.cpp @@     return qlog::fromTerminal(QString::fromUtf8(line)); @@     return QString::fromUtf8(line); @@ FtpReplyParser
shell-text-raw @@ src/upgrade/PicTelnet.cpp @@ QStringLiteral("Connect outcome:") + shellShown(text, 200)); @@ QStringLiteral("Connect outcome:") + text); @@ Cli.TerminalTexts
password-echo-logged @@ src/upgrade/PicLogic.cpp @@     return text.replace(kPassword, "********"); @@     return text; @@ PicShell|Cli.TerminalTexts
password-split-echo-logged @@ src/upgrade/PicLogic.cpp @@     qsizetype wait = std::min(kPassword.size() - 1, text.size()); @@     qsizetype wait = 0; @@ PicShell|Cli.TerminalTexts
log-file-mode-umask @@ src/platform/Files.cpp @@ if (!f.open(QIODevice::WriteOnly | QIODevice::NewOnly, permissions)) @@ if (!f.open(QIODevice::WriteOnly | QIODevice::NewOnly)) @@ TerminalLog.FilesGetTheirModes
log-file-readable-by-all @@ src/log/LogFile.cpp @@ if (Files::createNew(strLogFilePath, start, Files::kOwnerOnly) @@ if (Files::createNew(strLogFilePath, start, Files::kOwnerOnly | QFileDevice::ReadOther) @@ TerminalLog.FilesGetTheirModes
lock-file-mode-umask @@ src/app/Startup.cpp @@         QFile::setPermissions(lock->fileName(), @@         (void)QFile::exists(lock->fileName()), (void)( @@ TerminalLog.FilesGetTheirModes
terminal-log-readable-by-all @@ src/ftp/TerminalLog.cpp @@     inetFTP->setPrivateDownload(); @@  @@ TerminalLog.FilesGetTheirModes
cli-attached-value-refused @@ src/app/CliOptions.cpp @@             attached = a.mid(eq + 1);\n            a.truncate(eq); @@  @@ CliParse|Cli
cli-download-file-unnamed @@ src/app/CliRunner.cpp @@             file_ = target; @@  @@ Cli
cli-quiet-version-with-outcome @@ src/app/CliRunner.cpp @@ if (exitCode == Success && o_.quiet && !o_.json && o_.action == Action::TerminalVersion) { @@ if (false) { @@ Cli
station-upgrades-again @@ src/app/CliStation.cpp @@ if ((o_.count == 0 || seen_ < o_.count) && !waitFor(false)) @@ if ((o_.count == 0 || seen_ < o_.count) && false) @@ Cli\.Station
station-folder-not-held @@ src/app/CliStation.cpp @@ lock_ = frmMain::lockCurrentFolder(&otherHolds); @@ (void)otherHolds; @@ Cli\.Station
station-window-own-lock @@ src/app/Startup.cpp @@     if (homeLock_)\n        return true;\n @@  @@ Cli\.Station
station-package-unchecked @@ src/app/CliStation.cpp @@ packages != 1) @@ false) @@ Cli\.Station
station-cut-line-joined @@ src/app/CliStation.cpp @@ old.size() > 0 && old.seek @@ false && old.seek @@ Cli\.Station
station-header-every-run @@ src/app/CliStation.cpp @@ if (file_.size() == 0) @@ if (true) @@ Cli\.Station
station-count-ignored @@ src/app/CliStation.cpp @@ while (o_.count == 0 || seen_ < o_.count) { @@ while (true) { @@ Cli\.Station
station-stop-ignored @@ src/app/CliStation.cpp @@ setIdleInterrupt([this](int) { stop(); }); @@ setIdleInterrupt(nullptr); @@ Cli\.Station
station-failure-as-success @@ src/app/CliStation.cpp @@ status = failed_ > 0 || !reportProblem_.isEmpty() ? Failure : Success; @@ status = Success; @@ Cli\.Station
report-cell-unquoted @@ src/app/CliStation.cpp @@ if (f.contains(QLatin1Char(',')) || @@ if (false && f.contains(QLatin1Char(',')) || @@ CliStation|Cli\.Station
report-cell-formula @@ src/app/CliStation.cpp @@ if (!f.isEmpty() && QStringLiteral("=+-@").contains(f.front())) @@ if (false) @@ CliStation|Cli\.Station
report-cell-control-raw @@ src/app/CliStation.cpp @@ f += control ? qlog::printableText(QString(c)) : QString(c); @@ f += QString(c); @@ CliStation
backup-unmeasured @@ src/ftp/SoftwareUpgrade.cpp @@     inetFTP->setMeasureDownload(true);\n @@  @@ FtpFault
short-download-committed @@ src/platform/InetFtp.cpp @@     const bool get = op_.kind == FtpOperation::Get;\n    if (remoteBytes == @@     const bool get = false;\n    if (remoteBytes == @@ FtpFault
backup-unrecorded @@ src/ftp/FtpEngine.cpp @@         if (!recordBackup(path))\n            break;\n @@  @@ SoftwareUpgrade\.TheWholeRoad
damaged-backup-restored @@ src/ftp/Restore.cpp @@     if (checks.at(chosen).state == backup::State::Damaged) { @@     if (false) { @@ Restore\.
cli-damaged-backup-asked @@ src/app/CliRunner.cpp @@                 c.state == backup::State::Damaged) @@                 false) @@ Cli\.UpgradeSoftwareThenRestoreIt
package-unchecked-before-flash @@ src/ftp/SoftwareUpgrade.cpp @@     if (!packageStillSame())\n        return;\n    UPG_HandleOldBinDeletions(); @@     UPG_HandleOldBinDeletions(); @@ SoftwareUpgradePackage
package-unchecked-at-press @@ src/ftp/SoftwareUpgrade.cpp @@     if (const QString why = packageChange(); !why.isEmpty()) { @@     if (const QString why = packageChange(); false) { @@ SoftwareUpgradePackage
restored-copy-left @@ src/ftp/ImageDescriptor.cpp @@     const FtpPutResult r = put.remove(remote); @@     const FtpPutResult r{FtpPutResult::Failure::Put}; @@ ReliabilityPcSide
running-copy-removed @@ src/ftp/ImageDescriptor.cpp @@     if (strRestoreVersion == strCurrentVersion) { @@     if (false) { @@ ReliabilityPcSide
backup-record-ignored @@ src/ftp/BackupRecord.cpp @@     if (r->sha256 != measured.sha256) @@     if (false) @@ BackupRecords
pic-verdict-raw-version @@ src/upgrade/PicLogic.cpp @@ const QString reported = qlog::fromTerminal(reportedPic); @@ const QString reported = reportedPic; @@ PicVerdict|fuzz_corpus.pic_dialogue
version-text-logged-raw @@ src/ident/VersionText.cpp @@ qlog::printableLines(text)}); @@ text}); @@ fuzz_corpus.version_text
descriptor-write-unchecked @@ src/ftp/ImageDescriptor.cpp @@     if (!writeImageDescriptor(ftp::imageContent(strNewVersion)))\n        return; @@     writeImageDescriptor(ftp::imageContent(strNewVersion)); @@ ReliabilityPcSide
EOF

# Read whole before it runs: the list may be edited while a run is going on.
{
if [ "${1:-}" = --list ]; then
    printf '%s\n' "$MUTATIONS" | awk -F' @@ ' '{ print $1 }'
    exit 0
fi

scratch=${MUTATE_DIR:-$root/build-mutate}
tree=$scratch/tree
mkdir -p "$scratch"
rm -rf "$tree"
mkdir -p "$tree"
# The committed tree: what lands is what is checked.
git -C "$root" archive HEAD | tar -x -C "$tree"
echo "building the scratch tree in $scratch/build ..."
(cd "$tree" && build_tree "$scratch/build" >"$scratch/build.log" 2>&1) || { tail -20 "$scratch/build.log"; exit 1; }

apply() {  # file old new -> 0 applied, 1 the text is not there exactly once
    python3 - "$1" "$2" "$3" <<'PY'
import sys
# The fields are written aligned in the list: their ends' blanks are not part of the text.
path, old, new = sys.argv[1], sys.argv[2].strip(' ').replace('\\n', '\n'), sys.argv[3].strip(' ').replace('\\n', '\n')
text = open(path).read()
if text.count(old) != 1:
    sys.exit(1)
open(path, 'w').write(text.replace(old, new))
PY
}

missed=0
started=$(date +%s)
while IFS= read -r line; do
    [ -n "$line" ] || continue
    field() { awk -F' @@ ' -v n="$1" '{ print $n }' <<<"$line"; }
    name=$(field 1); file=$(field 2); old=$(field 3); new=$(field 4); regex=$(field 5)
    if [ $# -gt 0 ] && ! printf '%s\n' "$@" | grep -qx "$name"; then
        continue
    fi
    cp "$tree/$file" "$scratch/original"
    if ! apply "$tree/$file" "$old" "$new"; then
        echo "STALE   $name: the text is not in $file exactly once; update the mutation"
        missed=$((missed + 1))
        continue
    fi
    t0=$(date +%s)
    if ! (cd "$tree" && cmake --build "$scratch/build" -j "$(nproc)" >"$scratch/build.log" 2>&1); then
        echo "caught  $name: it does not build"
        cp "$scratch/original" "$tree/$file"
        continue
    fi
    out=$(ctest --test-dir "$scratch/build" -R "$regex" -j "$(nproc)" --timeout 300 2>&1 || true)
    # Nothing failed is a missed mutation, not the end of the run.
    caught=$(grep -E '\*\*\*(Failed|Timeout|Exception)|Not Run' <<<"$out" | sed -E 's/.*Test +#[0-9]+: ([^ ]+).*/\1/' | sort -u | tr '\n' ' ' || true)
    ran=$(grep -cE 'Test +#[0-9]+:' <<<"$out" || true)
    if [ -n "$caught" ]; then
        echo "caught  $name ($(( $(date +%s) - t0 )) s, $ran tests run): $caught"
    else
        echo "MISSED  $name ($ran tests run for '$regex')"
        missed=$((missed + 1))
    fi
    cp "$scratch/original" "$tree/$file"
done <<<"$MUTATIONS"
echo "$(( $(date +%s) - started )) s; missed or stale: $missed"
[ "$missed" -eq 0 ]
exit
}
