#include "app/frmMain.h"

#include "log/LogFormat.h"
#include "platform/FtpPut.h"
#include "platform/InetFtp.h"
#include "platform/Settings.h"
#include "platform/TcpClient.h"
#include "platform/Timer.h"
#include "ui/SecondaryWindows.h"

#include <QApplication>
#include <QCloseEvent>
#include <QLockFile>
#include <QTimer>

#include <algorithm>

frmMain::frmMain(Dialogs& dialogs, const QString& commandLine, QWidget* parent)
    : QMainWindow(parent), dialogs_(dialogs), commandLine_(commandLine)
{
    setObjectName(QStringLiteral("frmMain"));
    buildControls();
    buildMenus();
    createTimersAndSockets();
    wireEvents();
    setupProgress();
    // Keys typed in any control reach Form_KeyPress first.
    qApp->installEventFilter(this);
}

frmMain::~frmMain()
{
    qApp->removeEventFilter(this);
    if (busyCursorShown_)
        QApplication::restoreOverrideCursor();
}

void frmMain::createTimersAndSockets()
{
    auto timer = [this](const char* name, int ms) { return new Timer(QString::fromLatin1(name), ms, this); };
    tmrConnect = timer("tmrConnect", 5000);
    tmrConneTest = timer("tmrConneTest", 2000);
    tmrResponse = timer("tmrResponse", 40000);
    tmrFTPReq = timer("tmrFTPReq", 65000);
    tmrImagePutTrig = timer("tmrImagePutTrig", 2000);
    tmrDelayedSwUpgIgnite = timer("tmrDelayedSwUpgIgnite", 12000);
    tmrFiveSecDelayedReset = timer("tmrFiveSecDelayedReset", 5000);
    tmr40SecDelay = timer("tmr40SecDelay", 40000);
    tmrAntUpgDelay = timer("tmrAntUpgDelay", 65000);
    tmrPicUpgResetDelay = timer("tmrPicUpgResetDelay", 20000);
    tmrPicUpgradeDelay = timer("tmrPicUpgradeDelay", 10000);
    tmrPicUpgrCnt = timer("tmrPicUpgrCnt", 20000);
    tmrTelnetConnect = timer("tmrTelnetConnect", 5000);

    inetFTP = new InetFtp(this);
    inetFTP->setObjectName(QStringLiteral("inetFTP"));
    inetFTP->onGuardLog = [this](const QString& line) { WriteLog(qlog::LOG_ERR, line); };
    inetFTP->onConnectLog = [this](const QString& line) { WriteLog(qlog::LOG_DET, line); };
    sckZING = new TcpClient(QStringLiteral("sckZING"), this);
    sckTest = new TcpClient(QStringLiteral("sckTest"), this);
    telnetShell = new TcpClient(QStringLiteral("telnetShell"), this);
    for (TcpClient* s : {sckZING, sckTest, telnetShell}) {
        s->onGuardLog = [this](const QString& line) { WriteLog(qlog::LOG_ERR, line); };
        s->onConnectLog = [this](const QString& line) { WriteLog(qlog::LOG_DET, line); };
    }

    workGuard_ = new QTimer(this);
    workGuard_->setInterval(std::max(20, Settings::scaled(500)));
    connect(workGuard_, &QTimer::timeout, this, [this] { workGuard_Timer(); });
}

FtpPut frmMain::oneShotFtp()
{
    FtpPut ftp(strIPAddress);
    ftp.onGuardLog = [this](const QString& line) { WriteLog(qlog::LOG_ERR, line); };
    ftp.onConnectLog = [this](const QString& line) { WriteLog(qlog::LOG_DET, line); };
    return ftp;
}

QList<Timer*> frmMain::allTimers() const
{
    return {tmrConnect,        tmrConneTest,      tmrResponse,           tmrFTPReq,
            tmrImagePutTrig,   tmrDelayedSwUpgIgnite, tmrFiveSecDelayedReset, tmr40SecDelay,
            tmrAntUpgDelay,    tmrPicUpgResetDelay, tmrPicUpgradeDelay,  tmrPicUpgrCnt,
            tmrTelnetConnect};
}

bool frmMain::nothingRunning() const
{
    if (inetFTP->stillExecuting())
        return false;
    for (const TcpClient* s : {sckZING, sckTest, telnetShell}) {
        if (s->state() == TcpClient::sckConnecting)
            return false;
    }
    // An open shell session is a PIC phase waiting for the terminal.
    if (telnetShell->state() == TcpClient::sckConnected)
        return false;
    for (Timer* t : allTimers()) {
        if (t->enabled())
            return false;
    }
    return true;
}

void frmMain::wireEvents()
{
    sckZING->onConnect = [this] { sckZING_Connect(); };
    sckZING->onDataArrival = [this](const QByteArray& bytes) { sckZING_DataArrival(bytes); };
    sckZING->onClose = [this] { sckZING_Close(); };
    sckZING->onError = [this](int number, const QString& description) { sckZING_Error(number, description); };
    sckTest->onConnect = [this] { sckTest_Connect(); };
    // A failed probe connection ends the probe like its time-out.
    sckTest->onError = [this](int, const QString&) { tmrConneTest_Timer(); };

    tmrConnect->onTick = [this] { tmrConnect_Timer(); };
    tmrResponse->onTick = [this] { tmrResponse_Timer(); };
    tmrConneTest->onTick = [this] { tmrConneTest_Timer(); };
    tmr40SecDelay->onTick = [this] { tmr40SecDelay_Timer(); };
    tmrFiveSecDelayedReset->onTick = [this] { tmrFiveSecDelayedReset_Timer(); };
    inetFTP->onStateChanged = [this](int state) { inetFTP_StateChanged(state); };
    tmrFTPReq->onTick = [this] { tmrFTPReq_Timer(); };
    tmrDelayedSwUpgIgnite->onTick = [this] { tmrDelayedSwUpgIgnite_Timer(); };
    tmrImagePutTrig->onTick = [this] { tmrImagePutTrig_Timer(); };
    tmrAntUpgDelay->onTick = [this] { tmrAntUpgDelay_Timer(); };
    tmrTelnetConnect->onTick = [this] { tmrTelnetConnect_Timer(); };
    tmrPicUpgrCnt->onTick = [this] { tmrPicUpgrCnt_Timer(); };
    tmrPicUpgResetDelay->onTick = [this] { tmrPicUpgResetDelay_Timer(); };
    telnetShell->onDataArrival = [this](const QByteArray& bytes) { telnetShell_DataArrival(bytes); };
    telnetShell->onClose = [this] { telnetShell_Close(); };
    telnetShell->onError = [this](int number, const QString&) {
        // A session that breaks off ends like one the terminal closed; a
        // connection that never came is the greeting watchdog's.
        if (number == TcpClient::sckConnectAborted || number == TcpClient::sckConnectionReset)
            telnetShell_Close();
    };
}

MsgResult frmMain::msgBox(const QString& text, MsgButtons buttons, MsgIcon icon, const QString& title,
                          MsgResult defaultAnswer)
{
    // Once the window is unloaded the program has ended: nobody sees a box.
    if (unloaded_)
        return buttons == MsgButtons::YesNo ? MsgResult::No : MsgResult::OK;
    // Support reads what the user was told, and answered, from the log alone.
    WriteLog(qlog::LOG_INF, qlog::boxLine(title, text));
    const MsgResult answer = dialogs_.msgBox(this, text, buttons, icon, title, defaultAnswer);
    if (buttons == MsgButtons::YesNo)
        WriteLog(qlog::LOG_INF, answer == MsgResult::Yes ? QStringLiteral("Answered Yes") : QStringLiteral("Answered No"));
    return answer;
}

void frmMain::closeEvent(QCloseEvent* event)
{
    if (!unloaded_ && !mayCloseNow()) {
        event->ignore();
        return;
    }
    if (!unloaded_)
        closeMainWindow();
    event->accept();
}
