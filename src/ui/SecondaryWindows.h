#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class frmMain;

// Secondary windows are top-level (see QtDialogs): a child of the main window
// would be disabled with it while the program is busy.

// Sets the terminal address in four octet boxes.
class UpdateModemIP : public QDialog {
    Q_OBJECT
public:
    explicit UpdateModemIP(frmMain& owner);

    void cmdDefault_Click();
    void cmdUpdate_Click();
    void cmdClose_Click();

    QLabel* lblHeading = nullptr;
    // Says what Update needs when it cannot take the boxes.
    QLabel* lblProblem = nullptr;
    QLabel* IPlabel = nullptr;
    QLineEdit* txtIP1 = nullptr;
    QLineEdit* txtIP2 = nullptr;
    QLineEdit* txtIP3 = nullptr;
    QLineEdit* txtIP4 = nullptr;
    QPushButton* cmdDefault = nullptr;
    QPushButton* cmdUpdate = nullptr;
    QPushButton* cmdClose = nullptr;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    frmMain& owner_;
};

// The notice shown at start when the upgrader is launched with "-u".
class frmUpgrade : public QDialog {
    Q_OBJECT
public:
    frmUpgrade();

    // 0: complete the upgrade now; 1: later.
    int upgradeChoice = 0;

    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QRadioButton* UpgradeNow = nullptr;
    QRadioButton* UpgradeLater = nullptr;
    QPushButton* OKButton = nullptr;
};

class QListWidget;

// Lists the backed-up versions; OK takes the selected one.
class frmRestore : public QDialog {
    Q_OBJECT
public:
    explicit frmRestore(frmMain& owner);

    void cmdOkRestore_Click();
    void cmdCancelRestore_Click();

    QLabel* lblOldSoftwareVersionList = nullptr;
    QListWidget* lstOldSoftwareVersions = nullptr;
    QPushButton* cmdOkRestore = nullptr;
    QPushButton* cmdCancelRestore = nullptr;

private:
    frmMain& owner_;
};
