#include "ui/SecondaryWindows.h"

#include "app/frmMain.h"
#include "platform/Settings.h"
#include "ui/AddressOctets.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace {

class OctetValidator : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString& input, int&) const override { return ui::octetState(input); }
};

const QString kOctetsWanted = QStringLiteral("Type a number from 0 to 255 in each of the four boxes.");

}  // namespace

UpdateModemIP::UpdateModemIP(frmMain& owner) : QDialog(nullptr), owner_(owner)
{
    setObjectName(QStringLiteral("UpdateModemIP"));
    setWindowTitle(QStringLiteral("Configure Vantor QORA Terminal Interface"));
    setModal(true);

    lblHeading = new QLabel(QStringLiteral("Enter IP address of the Vantor QORA Terminal"), this);
    lblHeading->setObjectName(QStringLiteral("lblHeading"));
    IPlabel = new QLabel(QStringLiteral("Terminal IP:"), this);
    IPlabel->setObjectName(QStringLiteral("IPlabel"));

    auto* row = new QHBoxLayout;
    row->addWidget(IPlabel);
    QLineEdit** boxes[] = {&txtIP1, &txtIP2, &txtIP3, &txtIP4};
    for (int i = 0; i < 4; ++i) {
        auto* e = new QLineEdit(this);
        e->setObjectName(QStringLiteral("txtIP%1").arg(i + 1));
        e->setFixedWidth(40);
        e->setValidator(new OctetValidator(e));
        e->installEventFilter(this);
        *boxes[i] = e;
        row->addWidget(e);
        if (i < 3) {
            auto* dot = new QLabel(QStringLiteral("."), this);
            dot->setObjectName(QStringLiteral("lblDot"));
            row->addWidget(dot);
        }
    }
    row->addStretch();

    cmdDefault = new QPushButton(QStringLiteral("Default IP"), this);
    cmdDefault->setObjectName(QStringLiteral("cmdDefault"));
    cmdUpdate = new QPushButton(QStringLiteral("Update"), this);
    cmdUpdate->setObjectName(QStringLiteral("cmdUpdate"));
    cmdClose = new QPushButton(QStringLiteral("Close"), this);
    cmdClose->setObjectName(QStringLiteral("cmdClose"));
    for (QPushButton* b : {cmdDefault, cmdUpdate, cmdClose})
        b->setAutoDefault(false);
    // Enter in an octet box means Update.
    cmdUpdate->setDefault(true);
    lblProblem = new QLabel(this);
    lblProblem->setObjectName(QStringLiteral("lblProblem"));
    lblProblem->hide();
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(cmdDefault);
    buttons->addStretch();
    buttons->addWidget(cmdUpdate);
    buttons->addWidget(cmdClose);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lblHeading);
    layout->addLayout(row);
    layout->addWidget(lblProblem);
    layout->addLayout(buttons);

    QObject::connect(cmdDefault, &QPushButton::clicked, this, &UpdateModemIP::cmdDefault_Click);
    QObject::connect(cmdUpdate, &QPushButton::clicked, this, &UpdateModemIP::cmdUpdate_Click);
    QObject::connect(cmdClose, &QPushButton::clicked, this, &UpdateModemIP::cmdClose_Click);

    // On load the boxes show the octets last stored.
    txtIP1->setText(owner_.strIpOctet1);
    txtIP2->setText(owner_.strIpOctet2);
    txtIP3->setText(owner_.strIpOctet3);
    txtIP4->setText(owner_.strIpOctet4);
    txtIP1->setFocus();
    txtIP1->selectAll();
}

// '.' goes on to the next box, as in any address field; the last box has no next.
bool UpdateModemIP::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::KeyPress || static_cast<QKeyEvent*>(event)->text() != QLatin1String("."))
        return QDialog::eventFilter(watched, event);
    const QList<QLineEdit*> boxes = {txtIP1, txtIP2, txtIP3, txtIP4};
    const qsizetype i = boxes.indexOf(qobject_cast<QLineEdit*>(watched));
    if (i < 0)
        return QDialog::eventFilter(watched, event);
    if (i + 1 < boxes.size()) {
        boxes[i + 1]->setFocus(Qt::TabFocusReason);
        boxes[i + 1]->selectAll();
    }
    return true;
}

void UpdateModemIP::cmdDefault_Click()
{
    const Settings& s = Settings::get();
    txtIP1->setText(s.octet(0));
    txtIP2->setText(s.octet(1));
    txtIP3->setText(s.octet(2));
    txtIP4->setText(s.octet(3));
}

void UpdateModemIP::cmdUpdate_Click()
{
    const QList<QLineEdit*> boxes = {txtIP1, txtIP2, txtIP3, txtIP4};
    QStringList typed;
    for (const QLineEdit* b : boxes)
        typed << b->text();
    const QString address = ui::joinOctets(typed);
    // An address that cannot be contacted is not taken: the window stays open on the box to fill.
    if (address.isEmpty()) {
        lblProblem->setText(kOctetsWanted);
        lblProblem->show();
        for (QLineEdit* b : boxes) {
            if (!b->hasAcceptableInput()) {
                b->setFocus();
                break;
            }
        }
        return;
    }
    const QStringList octets = address.split(QLatin1Char('.'));
    owner_.strIpOctet1 = octets[0];
    owner_.strIpOctet2 = octets[1];
    owner_.strIpOctet3 = octets[2];
    owner_.strIpOctet4 = octets[3];
    owner_.UpdateModemIPAddress(address);
    accept();
}

void UpdateModemIP::cmdClose_Click()
{
    reject();
}

frmUpgrade::frmUpgrade() : QDialog(nullptr)
{
    setObjectName(QStringLiteral("frmUpgrade"));
    setWindowTitle(QStringLiteral("Vantor QORA Terminal"));
    setModal(true);

    Label1 = new QLabel(QStringLiteral("You already have the latest version of software."), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label2 = new QLabel(QStringLiteral("If the Satellite IP Modem is not already connected to your PC, disconnect the "
                                       "dial-up or LAN connection and connect the Satellite IP Modem to your PC."),
                        this);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setWordWrap(true);
    UpgradeNow = new QRadioButton(QStringLiteral("&Complete upgrade now"), this);
    UpgradeNow->setObjectName(QStringLiteral("UpgradeNow"));
    UpgradeLater = new QRadioButton(QStringLiteral("Complete &upgrade later"), this);
    UpgradeLater->setObjectName(QStringLiteral("UpgradeLater"));
    auto* group = new QButtonGroup(this);
    group->addButton(UpgradeNow);
    group->addButton(UpgradeLater);
    UpgradeNow->setChecked(true);
    OKButton = new QPushButton(QStringLiteral("OK"), this);
    OKButton->setObjectName(QStringLiteral("OKButton"));
    OKButton->setDefault(true);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Label1);
    layout->addWidget(Label2);
    layout->addWidget(UpgradeNow);
    layout->addWidget(UpgradeLater);
    auto* ok = new QHBoxLayout;
    ok->addStretch();
    ok->addWidget(OKButton);
    layout->addLayout(ok);
    setFixedWidth(360);

    QObject::connect(UpgradeNow, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            upgradeChoice = 0;
    });
    QObject::connect(UpgradeLater, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            upgradeChoice = 1;
    });
    QObject::connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);
}

frmRestore::frmRestore(frmMain& owner) : QDialog(nullptr), owner_(owner)
{
    setObjectName(QStringLiteral("frmRestore"));
    setWindowTitle(QStringLiteral("Restore Terminal Software"));
    setModal(true);

    lblOldSoftwareVersionList = new QLabel(QStringLiteral("Select an old software version to restore:"), this);
    lblOldSoftwareVersionList->setObjectName(QStringLiteral("lblOldSoftwareVersionList"));
    lstOldSoftwareVersions = new QListWidget(this);
    lstOldSoftwareVersions->setObjectName(QStringLiteral("lstOldSoftwareVersions"));
    cmdOkRestore = new QPushButton(QStringLiteral("OK"), this);
    cmdOkRestore->setObjectName(QStringLiteral("cmdOkRestore"));
    cmdCancelRestore = new QPushButton(QStringLiteral("Cancel"), this);
    cmdCancelRestore->setObjectName(QStringLiteral("cmdCancelRestore"));

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdOkRestore);
    buttons->addWidget(cmdCancelRestore);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lblOldSoftwareVersionList);
    layout->addWidget(lstOldSoftwareVersions);
    layout->addLayout(buttons);
    resize(300, 240);

    QObject::connect(cmdOkRestore, &QPushButton::clicked, this, &frmRestore::cmdOkRestore_Click);
    QObject::connect(cmdCancelRestore, &QPushButton::clicked, this, &frmRestore::cmdCancelRestore_Click);

    // On load: the versions found, the only one selected when there is one.
    for (int i = 0; i < owner_.restoreCount && i < owner_.restoreList.size(); ++i)
        lstOldSoftwareVersions->addItem(owner_.restoreList.at(i));
    if (owner_.restoreCount == 1)
        lstOldSoftwareVersions->setCurrentRow(0);
}

void frmRestore::cmdOkRestore_Click()
{
    const QListWidgetItem* item = lstOldSoftwareVersions->currentItem();
    owner_.strRestoreVersion = (item && item->isSelected()) ? item->text() : QString();
    accept();
}

void frmRestore::cmdCancelRestore_Click()
{
    reject();
}
