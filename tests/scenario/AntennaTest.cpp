// Antenna firmware against the simulated terminal: what the window shows at
// start-up, and the upgrade run alone, from the menu and in a sequence.
#include "support/SimUpgrade.h"

#include "support/TableRows.h"

#include <QAction>
#include <QDir>
#include <QRegularExpression>

#include <functional>

namespace {

using tablerows::PrintTo;

const QStringList kBoth = {"ATB_02409_15.sxm", "HPA_2407_13.sxm"};

class Antenna : public SimUpgrade {
public:
    void putFiles(const QStringList& names)
    {
        for (const QString& n : names)
            home.writeFile(n, "image of " + n.toLatin1() + QByteArray(3000, 'i'));
    }
    QStringList stores() { return sim.ftpCommands().filter(QRegularExpression("^STOR ")); }
};

// What the window shows of the files and of the terminal's antenna, and
// whether the antenna item can be chosen.
TEST_F(Antenna, StartUpShowsBothSidesAndOffersOnlyWhatFits)
{
    const struct {
        const char* name;
        QStringList files;
        const char* box;  // its start, or empty
        QString localAtb, localHpa, localClass;
        bool offered;
    } rows[] = {
        {"a pair that fits", kBoth, "", "15", "13", "Class 11", true},
        {"a pair of another class", {"ATB_02313_07.sxm", "HPA_2302_03.sxm"}, "", "07", "03", "Class 10", false},
        {"two ATB files", {kBoth[0], "ATB_02409_16.sxm", kBoth[1]}, "Conflict detected: There is more than one ATB", "",
         "", "", false},
        {"both arrangements", {kBoth[0], kBoth[1], "IAC_03829_11.sxm"},
         "Conflict detected: There is more than one type of antenna", "15", "13", "UNKNOWN", false},
        {"no antenna files", {}, "", "UNAVAILABLE", "UNAVAILABLE", "UNAVAILABLE", false},
    };
    home.writePackage("5_7_2_0");
    sim->updateModel([](qsim::Model& m) { m.asn = "A1\x1b[2J"; });
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        for (const QString& f : QDir(home.path()).entryList({"*.sxm"}, QDir::Files))
            QFile::remove(home.file(f));
        putFiles(r.files);
        u = std::make_unique<Upgrader>();
        ASSERT_TRUE(u->load());
        ASSERT_TRUE(waitUntil([&] { return w().statusText() == kReleaseInfoDone && w().mousePointer() == 0; }, 8000));
        EXPECT_EQ(u->dialogs.boxes().isEmpty() ? "" : u->dialogs.boxes().first().text.left(strlen(r.box)), r.box);
        EXPECT_EQ(w().txtAntATBver->text(), "1.4");
        EXPECT_EQ(w().txtAntHPAver->text(), "1.2");
        EXPECT_EQ(w().txtAntCLSver->text(), "Class 11");
        if (!r.localClass.isEmpty()) {
            EXPECT_EQ(w().txtLocAtbVer->text(), r.localAtb);
            EXPECT_EQ(w().txtLocHpaVer->text(), r.localHpa);
            EXPECT_EQ(w().txtLocAntClass->text(), r.localClass);
        }
        EXPECT_EQ(w().chkAntUpg->isEnabled(), r.offered);
        EXPECT_EQ(w().cmdAntUpgradeMenu->isEnabled(), r.offered);
    }
    // The release text reaches the log with its lines, its control bytes rendered.
    EXPECT_TRUE(home.logText().contains("\r\nASN: A1 /x1B [2J\r\n"));
    EXPECT_FALSE(home.logText().contains(QChar(0x1b)));
}

enum class Start { Menu, AntennaTicked, SoftwareAndAntenna };

struct RunRow {
    std::string name;
    QStringList files;
    std::function<void(qsim::Model&)> model;
    Start start;
    QStringList stores;      // in order
    QString box;             // shown after the question(s), or empty
    QStringList logLines;    // the log holds each
    QString endStatus;
    const char* runs;        // the software the terminal runs at the end
};

class AntennaRun : public Antenna, public ::testing::WithParamInterface<RunRow> {};

TEST_P(AntennaRun, UploadsAsksAndComesBack)
{
    const RunRow& row = GetParam();
    home.writePackage("5_7_2_0", 2, 50 * 1024);
    putFiles(row.files);
    // An accepted upgrade leaves the antenna reporting the files' versions.
    sim->updateModel([](qsim::Model& m) {
        m.atbAfterUpgrade = "1.5";
        m.hpaAfterUpgrade = "1.3";
    });
    if (row.model)
        sim->updateModel(row.model);
    startUpgrader();
    const int resets = sim->resetCount();
    u->dialogs.queueAnswer(MsgResult::Yes);
    if (row.start == Start::Menu) {
        w().cmdAntUpgradeMenu->trigger();
    } else {
        w().chkAntUpg->setChecked(true);
        w().chkBinUpg->setChecked(row.start == Start::SoftwareAndAntenna);
        w().cmdUpgrade->click();
    }
    ASSERT_TRUE(waitUntil([&] { return w().statusText() == row.endStatus && actionOver(); }, 20000))
        << w().statusText().toStdString();

    // What the terminal received: the uploads in order, then the close, then the request.
    EXPECT_EQ(stores(), row.stores);
    const QStringList ftp = sim.ftpCommands();
    EXPECT_GT(ftp.lastIndexOf("QUIT"), ftp.lastIndexOf(row.stores.last()));
    EXPECT_EQ(sim.zingCodes().count(0x90), 1);
    for (const QString& f : row.files) {
        const QString target = "/tffs0/" + f.left(3).toLower() + ".sxm";
        EXPECT_EQ(flashFile(target), readFile(home.file(f))) << target.toStdString();
    }
    // Between the question and the verdict.
    const QList<MsgRecord> all = u->dialogs.boxes();
    ASSERT_GE(all.size(), 2);
    const QList<MsgRecord> boxes = all.mid(1, all.size() - 2);
    EXPECT_EQ(boxes.isEmpty() ? QString() : boxes.last().text, row.box);
    EXPECT_TRUE(all.last().text.startsWith(row.endStatus == kUpgradeTook ? "Upgrade Successful" : "Upgrade Failed"));
    for (const QString& line : row.logLines) {
        EXPECT_TRUE(home.logText().contains(line)) << line.toStdString();
    }
    // An accepted upgrade restarts the terminal, a refused one does not.
    EXPECT_EQ(sim->resetCount() > resets, row.box.isEmpty());
    EXPECT_EQ(sim->runningVersion(), row.runs);
}

const QString kLeft = QStringLiteral("No Antenna or PIC Upgrades left to perform.  Upgrade Complete.");

using M = qsim::Model;
const QStringList kBothStores = {"STOR atb.sxm", "STOR hpa.sxm"};

INSTANTIATE_TEST_SUITE_P(
    Antenna, AntennaRun,
    ::testing::Values(
        RunRow{"ATB then HPA from the menu", kBoth, nullptr, Start::Menu, kBothStores, "",
               {"Uploaded ATB file Successfully ! Continue with HPA.", "Uploaded HPA file Successfully !",
                "Ant Upgrade Status Response: 0", ">> tmrAntUpgDelay_Timer()", kLeft},
               kUpgradeTook, "5.7.1.12"},
        RunRow{"IAC alone, ticked", {"IAC_03829_11.sxm"}, [](M& m) { m.ahv = "03829"; m.atbAfterUpgrade = "1.1"; },
               Start::AntennaTicked,
               {"STOR iac.sxm"}, "", {"Uploaded IAC file Successfully !", kLeft}, kUpgradeTook, "5.7.1.12"},
        RunRow{"status 2 is accepted", kBoth, [](M& m) { m.antennaUpgradeStatus = 2; }, Start::Menu, kBothStores, "",
               {"Ant Upgrade Status Response: 2", kLeft}, kUpgradeTook, "5.7.1.12"},
        RunRow{"status 3 fails and the sequence ends", kBoth,
               [](M& m) { m.antennaUpgradeStatus = 3; m.antennaUpgradeText = "flash error"; }, Start::AntennaTicked,
               kBothStores, "Antenna Upgrade failed (Error Code 3).  Check documentation and try again.\r\n",
               {"Antenna Upgrade Status response indicates ERROR has occurred (3)",
                "Ant Upgrade Data Response: flash error", kLeft},
               "Upgrade Failed !  Did not take: antenna.", "5.7.1.12"},
        // Six more response periods after the first one, then the answer.
        RunRow{"confirmation after six response periods", kBoth, [](M& m) { m.antennaFlashMs = 6 * 40000 + 20000; },
               Start::Menu, kBothStores, "",
               {"Waiting a little longer for Antenna Response.  Retry #6", "Antenna FW Upgrade response has arrived"},
               kUpgradeTook, "5.7.1.12"},
        RunRow{"software then antenna", kBoth, nullptr, Start::SoftwareAndAntenna,
               {"STOR /tffs0/bin/qorax_5_7_2_0.bin", "STOR image.txt", "STOR atb.sxm", "STOR hpa.sxm"}, "",
               {"Attempting pending Antenna Upgrade...", kLeft}, kUpgradeTook, "5.7.2.0"}),
    tablerows::RowName());

// No confirmation within seven response periods, or one too short to hold
// its status: the sequence stops and the user is told the terminal may still
// be flashing.
TEST_F(Antenna, AnUnconfirmedUpgradeStopsAndSaysSo)
{
    home.writePackage("5_7_2_0");
    putFiles(kBoth);
    startUpgrader();
    const struct { const char* name; std::function<void()> terminal; const char* log; } rows[] = {
        {"no answer", [&] { sim->updateModel([](qsim::Model& m) { m.antennaFlashMs = 2000000; }); },
         "Waiting a little longer for Antenna Response.  Retry #6"},
        {"8 bytes", [&] { sim->updateFaults([](qsim::Faults& f) { f.zingByCode[0x90] = qsim::ZingFault::truncated(8); }); },
         "Antenna FW Upgrade response without its status."},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        r.terminal();
        u->dialogs.clear();
        u->dialogs.queueAnswer(MsgResult::Yes);
        w().cmdAntUpgradeMenu->trigger();
        ASSERT_TRUE(waitUntil([&] { return u->dialogs.boxes().size() == 3 && actionOver(); }, 10000))
            << w().statusText().toStdString();
        EXPECT_TRUE(u->dialogs.boxes()[1].text.startsWith("The Satellite IP Modem did not confirm the Antenna Upgrade."));
        EXPECT_TRUE(u->dialogs.boxes()[2].text.startsWith("Upgrade Failed: antenna did not take."));
        EXPECT_EQ(w().statusText(), "Upgrade Failed !  Did not take: antenna.");
        EXPECT_EQ(w().currUpgradeState, UPG_STATE_IDLE);
        EXPECT_EQ(w().mousePointer(), 0);
        EXPECT_TRUE(home.logText().contains(r.log));
        sim->clearFaults();
        sim->updateModel([](qsim::Model& m) { m.antennaFlashMs = 30000; });
        ASSERT_TRUE(waitUntil([&] { return !sim->status().address.isEmpty(); }, 5000));
    }
}

}  // namespace
