// The main window's controls and menus, placed as the original form placed
// them (positions in twips, 15 twips to a pixel).
#include "app/frmMain.h"

#include "platform/Settings.h"
#include "ui/ReadableWhenDisabled.h"
#include "ui/StatusLight.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>

namespace {

constexpr int kTwipsPerPixel = 15;
constexpr int px(int twips) { return twips / kTwipsPerPixel; }
QRect tw(int left, int top, int width, int height)
{
    return QRect(px(left), px(top), px(width), px(height));
}
// Label/text-box pairs: text boxes 1575 x 315, labels 255 high.
constexpr int kBoxWidth = 1575;
constexpr int kBoxHeight = 315;
constexpr int kLabelHeight = 255;
// Labels may use the gap up to the next column.
constexpr int kLabelWidth = 1785;
// Check boxes reach to the frame's inner edge so their captions fit.
constexpr int kCheckWidth = 1635;

template <typename W>
W* place(W* w, const char* name, const QRect& r)
{
    w->setObjectName(QString::fromLatin1(name));
    w->setGeometry(r);
    return w;
}

QLabel* label(QWidget* parent, const char* name, const QString& caption, int left, int top,
              int width = kLabelWidth, int height = kLabelHeight)
{
    return place(new QLabel(caption, parent), name, tw(left, top, width, height));
}

// Every text box of the window only shows: none takes typing.
QLineEdit* textBox(QWidget* parent, const char* name, int left, int top, int width = kBoxWidth,
                   int height = kBoxHeight)
{
    auto* e = place(new QLineEdit(parent), name, tw(left, top, width, height));
    e->setReadOnly(true);
    return e;
}

QCheckBox* checkBox(QWidget* parent, const char* name, const QString& caption, const QRect& r)
{
    return place(new QCheckBox(caption, parent), name, r);
}

QGroupBox* frame(QWidget* parent, const char* name, const QString& caption, const QRect& r)
{
    auto* f = place(new QGroupBox(caption, parent), name, r);
    f->setAutoFillBackground(true);
    return f;
}

}  // namespace

void frmMain::buildControls()
{
    setWindowTitle(QStringLiteral("Vantor QORA Terminal Upgrader"));
    // The form was laid out for a small, narrow 8-point font; a condensed
    // sans face at the same pixel size keeps the captions inside their boxes.
    QFont font(QStringLiteral("DejaVu Sans Condensed"));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(11);
    setFont(font);

    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    client->setFixedSize(px(5760), px(6015));
    setCentralWidget(client);

    lblIPAddress = label(client, "lblIPAddress", QStringLiteral("IP Address:"), 240, 120, 975, 255);
    // Shown, not typed: the address shown is always the one contacted, and
    // the Configure window checks what it takes.
    txtIPAddress = textBox(client, "txtIPAddress", 1440, 120, 2175, 315);
    txtIPAddress->setText(Settings::get().defaultTerminalIp);
    txtIPAddress->setToolTip(QStringLiteral("The address the upgrader talks to. "
                                            "Change it with Tools > Configure Modem Interface."));
    statusLED = place(new StatusLight(client), "statusLED", tw(5280, 0, 375, 375));

    frameBin = frame(client, "frameBin", QStringLiteral("Software"), tw(120, 480, 5535, 1095));
    lblNewVersion = label(frameBin, "lblNewVersion", QStringLiteral("New Software version:"), 120, 360);
    txtNewSoftwareVersion = textBox(frameBin, "txtNewSoftwareVersion", 120, 600);
    lblCurrentVersion = label(frameBin, "lblCurrentVersion", QStringLiteral("Modem SW version:"), 1920, 360);
    txtCurrentSoftwareVersion = textBox(frameBin, "txtCurrentSoftwareVersion", 1920, 600);
    txtCurrentSoftwareVersion->setText(QStringLiteral("UNKNOWN"));
    cmdRestore = place(new QPushButton(QStringLiteral("&Restore"), frameBin), "cmdRestore", tw(4200, 240, 1215, 255));
    cmdRestore->setToolTip(QStringLiteral("Restore original software"));
    chkBinUpg = checkBox(frameBin, "chkBinUpg", QStringLiteral("Upgrade SW"), tw(3840, 600, kCheckWidth, 315));

    framePIC = frame(client, "framePIC", QStringLiteral("PIC Info"), tw(120, 1680, 5535, 975));
    lblLocPICVer = label(framePIC, "lblLocPICVer", QStringLiteral("New PIC version:"), 120, 240);
    txtLocPICVer = textBox(framePIC, "txtLocPICVer", 120, 480);
    lblTermPICVersion = label(framePIC, "lblTermPICVersion", QStringLiteral("Modem PIC version:"), 1920, 240);
    txtTermPICVersion = textBox(framePIC, "txtTermPICVersion", 1920, 480);
    chkPICUpg = checkBox(framePIC, "chkPICUpg", QStringLiteral("Upgrade PIC"), tw(3840, 480, kCheckWidth, 375));

    frameAntenna = frame(client, "frameAntenna", QStringLiteral("Antenna Info"), tw(120, 2760, 5535, 2295));
    lblLocAtb = label(frameAntenna, "lblLocAtb", QStringLiteral("New ATB version:"), 120, 360);
    txtLocAtbVer = textBox(frameAntenna, "txtLocAtbVer", 120, 600);
    lblLocHPA = label(frameAntenna, "lblLocHPA", QStringLiteral("New HPA version:"), 120, 960);
    txtLocHpaVer = textBox(frameAntenna, "txtLocHpaVer", 120, 1200);
    lblLocCls = label(frameAntenna, "lblLocCls", QStringLiteral("Antenna Class:"), 120, 1560);
    txtLocAntClass = textBox(frameAntenna, "txtLocAntClass", 120, 1800);
    lblAntAtb = label(frameAntenna, "lblAntAtb", QStringLiteral("Modem ATB version:"), 1920, 360);
    txtAntATBver = textBox(frameAntenna, "txtAntATBver", 1920, 600);
    lblAntHPA = label(frameAntenna, "lblAntHPA", QStringLiteral("Modem HPA version:"), 1920, 960);
    txtAntHPAver = textBox(frameAntenna, "txtAntHPAver", 1920, 1200);
    lblAntClass = label(frameAntenna, "lblAntClass", QStringLiteral("Antenna Class:"), 1920, 1560);
    txtAntCLSver = textBox(frameAntenna, "txtAntCLSver", 1920, 1800);
    chkAntUpg = checkBox(frameAntenna, "chkAntUpg", QStringLiteral("Upgrade Antenna"), tw(3840, 600, kCheckWidth, 375));
    // Filled with the antenna's serial number and hardware, never displayed.
    txtAntASNver = textBox(frameAntenna, "txtAntASNver", 1920, 2400);
    txtAntASNver->hide();
    txtAntAHWver = textBox(frameAntenna, "txtAntAHWver", 3600, 2400);
    txtAntAHWver->hide();

    lblUpgHelp = label(client, "lblUpgHelp", QStringLiteral("Select the items above to Upgrade."), 120, 5160, 3375, 255);
    cmdUpgrade = place(new QPushButton(QStringLiteral("&Upgrade"), client), "cmdUpgrade", tw(3600, 5160, 1935, 375));
    cmdUpgrade->setToolTip(QStringLiteral("Upgrade software"));
    sbUpgrade = textBox(client, "sbUpgrade", 120, 5640, 5535, 288);
    sbUpgrade->setPalette(ui::readableWhenDisabled(sbUpgrade->palette()));
    sbUpgrade->setText(QStringLiteral("Status Text"));

    for (QGroupBox* f : {frameBin, framePIC, frameAntenna})
        setFrameActive(f, false);

    QObject::connect(cmdUpgrade, &QPushButton::clicked, this, [this] { cmdUpgrade_Click(); });
    QObject::connect(cmdRestore, &QPushButton::clicked, this, [this] { cmdRestore_Click(); });
}

void frmMain::buildMenus()
{
    // Shortcut texts are shown after a tab; the keys themselves are handled by
    // the key filter, so that Form_KeyPress sees them as well (Ctrl+G is both
    // a menu shortcut and the first key of the log download).
    auto entry = [this](QMenu* menu, const char* name, const QString& caption, void (frmMain::*handler)()) {
        QAction* a = menu->addAction(caption);
        a->setObjectName(QString::fromLatin1(name));
        if (handler)
            QObject::connect(a, &QAction::triggered, this, [this, handler] { (this->*handler)(); });
        return a;
    };

    mnuFile = menuBar()->addMenu(QStringLiteral("&File"));
    mnuFile->setObjectName(QStringLiteral("mnuFile"));
    // The same as the Upgrade button, and enabled with it.
    cmdUpgradeMenu = entry(mnuFile, "cmdUpgradeMenu", QStringLiteral("&Upgrade Selections\tCtrl+U"),
                           &frmMain::cmdUpgrade_Click);
    cmdRestoreMenu = entry(mnuFile, "cmdRestoreMenu", QStringLiteral("&Restore Software\tCtrl+R"),
                           &frmMain::cmdRestoreMenu_Click);
    cmdAntUpgradeMenu = entry(mnuFile, "cmdAntUpgradeMenu", QStringLiteral("Upgrade A&ntenna (Standalone)"),
                              &frmMain::cmdAntUpgradeMenu_Click);
    cmdPicUpgradeMenu = entry(mnuFile, "cmdPicUpgradeMenu", QStringLiteral("Upgrade &PIC (Standalone)"),
                              &frmMain::cmdPicUpgradeMenu_Click);
    cmdSeperator1 = mnuFile->addSeparator();
    cmdSeperator1->setObjectName(QStringLiteral("cmdSeperator1"));
    mnuFileExit = entry(mnuFile, "mnuFileExit", QStringLiteral("E&xit\tCtrl+X"), &frmMain::mnuFileExit_Click);

    mnuTools = menuBar()->addMenu(QStringLiteral("&Tools"));
    mnuTools->setObjectName(QStringLiteral("mnuTools"));
    cmdSetModemIP = entry(mnuTools, "cmdSetModemIP", QStringLiteral("&Configure Modem &Interface"),
                          &frmMain::cmdSetModemIP_Click);
    cmdGetSoftwareVersion = entry(mnuTools, "cmdGetSoftwareVersion", QStringLiteral("&Get Software Version\tCtrl+G"),
                                  &frmMain::cmdGetSoftwareVersion_Click);
    cmdDownloadLog = entry(mnuTools, "cmdDownloadLog", QStringLiteral("Download Terminal &Log\tCtrl+G, Ctrl+L"),
                           &frmMain::DownloadTerminalLog);
    cmdRestoreDefaults = entry(mnuTools, "cmdRestoreDefaults", QStringLiteral("Restore &Factory Defaults\tCtrl+F"),
                               &frmMain::cmdRestoreDefaults_Click);
    cmdSeperator2 = mnuTools->addSeparator();
    cmdSeperator2->setObjectName(QStringLiteral("cmdSeperator2"));
    cmdResetModem = entry(mnuTools, "cmdResetModem", QStringLiteral("&Reset Modem"), &frmMain::cmdResetModem_Click);

    mnuHelp = menuBar()->addMenu(QStringLiteral("&Help"));
    mnuHelp->setObjectName(QStringLiteral("mnuHelp"));
    mnuHelpAbout = entry(mnuHelp, "mnuHelpAbout", QStringLiteral("&About Upgrader...\tF1"), &frmMain::mnuHelpAbout_Click);
    mnuHelpTs = entry(mnuHelp, "mnuHelpTs", QStringLiteral("&Troubleshooting\tShift+F1"), &frmMain::mnuHelpTs_Click);
}

void frmMain::setMenuEnabled(QMenu* menu, bool on)
{
    menu->menuAction()->setEnabled(on);
    menu->setEnabled(on);
}

bool frmMain::handleMenuShortcut(int key, Qt::KeyboardModifiers mods)
{
    mods &= Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier;
    struct Shortcut {
        int key;
        Qt::KeyboardModifiers mods;
        QAction* action;
        QMenu* menu;
    };
    const Shortcut table[] = {
        {Qt::Key_U, Qt::ControlModifier, cmdUpgradeMenu, mnuFile},
        {Qt::Key_R, Qt::ControlModifier, cmdRestoreMenu, mnuFile},
        {Qt::Key_X, Qt::ControlModifier, mnuFileExit, mnuFile},
        {Qt::Key_G, Qt::ControlModifier, cmdGetSoftwareVersion, mnuTools},
        {Qt::Key_F, Qt::ControlModifier, cmdRestoreDefaults, mnuTools},
        {Qt::Key_F1, Qt::NoModifier, mnuHelpAbout, mnuHelp},
        {Qt::Key_F1, Qt::ShiftModifier, mnuHelpTs, mnuHelp},
    };
    for (const Shortcut& s : table) {
        if (s.key != key || s.mods != mods)
            continue;
        // A disabled entry or menu ignores its shortcut, as a disabled window does.
        if (!isEnabled() || !s.action->isEnabled() || !s.menu->menuAction()->isEnabled())
            return true;
        s.action->trigger();
        return true;
    }
    return false;
}

bool frmMain::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::KeyPress || !watched->isWidgetType() || unloaded_)
        return QMainWindow::eventFilter(watched, event);
    auto* w = static_cast<QWidget*>(watched);
    // A key event travels up the parents; take it once, where it starts.
    QWidget* start = focusWidget() ? focusWidget() : this;
    if (w->window() != this || w != start)
        return QMainWindow::eventFilter(watched, event);

    auto* ke = static_cast<QKeyEvent*>(event);
    // A text box keeps its editing keys: Ctrl+X there cuts, it does not exit.
    if (qobject_cast<QLineEdit*>(w) &&
        (ke->matches(QKeySequence::Cut) || ke->matches(QKeySequence::Copy) || ke->matches(QKeySequence::Paste) ||
         ke->matches(QKeySequence::SelectAll) || ke->matches(QKeySequence::Undo) || ke->matches(QKeySequence::Redo)))
        return QMainWindow::eventFilter(watched, event);
    int code = -1;
    if ((ke->modifiers() & Qt::ControlModifier) && ke->key() >= Qt::Key_A && ke->key() <= Qt::Key_Z)
        code = ke->key() - Qt::Key_A + 1;
    else if (!ke->text().isEmpty() && ke->text().at(0).unicode() < 256)
        code = ke->text().at(0).unicode();
    if (code >= 0)
        Form_KeyPress(code);
    if (unloaded_)
        return true;
    return handleMenuShortcut(ke->key(), ke->modifiers());
}
