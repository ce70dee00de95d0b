// The boot model: what tffs0/image.txt names decides application or Boot ROM,
// and which address answers.

#include "SimHarness.h"

#include <cerrno>

using namespace simtest;

class SimBoot : public SimTest {};

TEST(SimFlash, DescriptorDecidesWhatBoots)
{
    QTemporaryDir dir;
    const qsim::Flash flash(dir.path());
    ASSERT_TRUE(flash.ensureLayout());
    ASSERT_TRUE(flash.putExecutable(QStringLiteral("5_7_1_12"), "exe"));
    ASSERT_TRUE(flash.putExecutable(QStringLiteral("5.9.0.1"), ""));
    ASSERT_TRUE(flash.write(QStringLiteral("/tffs0/pic.s19"), "S00600004844521B\r\nS9030000FC\r\n"));
    struct Row {
        std::optional<QByteArray> descriptor;
        const char* version;  // nullptr: the Boot ROM
    };
    const Row rows[] = {
        {QByteArray("/bin/qorax_5_7_1_12.bin"), "5_7_1_12"},
        {QByteArray(" /bin/qorax_5_7_1_12.bin\r\n"), "5_7_1_12"},
        {std::nullopt, nullptr},
        {QByteArray(""), nullptr},
        {QByteArray("/bin/qorax_5_7_2_0.bin"), nullptr},         // named file missing
        {QByteArray("/bin/qorax_5_9_0_1.bin"), nullptr},         // empty executable
        {QByteArray("/tffs0/bin/qorax_5_7_1_12.bin"), nullptr},  // not the descriptor's form
        {QByteArray("/bin/\r\nqorax_5_7_1_12.bin"), nullptr},
        {QByteArray("S00600004844521B\r\nS9030000FC\r\n"), nullptr},  // the copy of pic.s19
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.descriptor.value_or("(none)").toStdString());
        flash.remove(QStringLiteral("/tffs0/image.txt"));
        if (row.descriptor)
            flash.write(QStringLiteral("/tffs0/image.txt"), *row.descriptor);
        const auto choice = flash.bootChoice(1);
        EXPECT_EQ(choice.application, row.version != nullptr);
        if (row.version) {
            EXPECT_EQ(choice.version, QLatin1String(row.version));
        } else {
            EXPECT_FALSE(choice.reason.isEmpty());
        }
    }
}

TEST_F(SimBoot, UploadedExecutableBootsAfterResetCmd)
{
    const QByteArray exe(70000, '\x5a');
    QTemporaryDir up;
    QFile f(up.path() + QStringLiteral("/new.bin"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(exe);
    f.close();
    ASSERT_EQ(curl({QStringLiteral("-T"), f.fileName(), ftpUrl(QStringLiteral("/tffs0/bin/qorax_5_7_2_0.bin"))}).exitCode, 0);
    QFile d(up.path() + QStringLiteral("/image.txt"));
    ASSERT_TRUE(d.open(QIODevice::WriteOnly));
    d.write("/bin/qorax_5_7_2_0.bin");
    d.close();
    ASSERT_EQ(curl({QStringLiteral("--use-ascii"), QStringLiteral("-T"), d.fileName(), ftpUrl(QStringLiteral("/tffs0/image.txt"))}).exitCode, 0);

    EXPECT_EQ(sim_->runningVersion(), QLatin1String("5.7.1.12")) << "nothing changes before the reset";
    zing(zingRequest(0x0D), kApp, 200);
    ASSERT_TRUE(sim_->waitForBootAfterReset(0, 3000));
    EXPECT_EQ(sim_->runningVersion(), QLatin1String("5.7.2.0"));
    EXPECT_TRUE(textAt(zing(zingRequest(0x04)), 8).contains("AppSW: 5.7.2.0, "));
    EXPECT_EQ(sim_->flash().read(QStringLiteral("/tffs0/bin/qorax_5_7_2_0.bin")).value_or(""), exe);
}

TEST_F(SimBoot, MissingExecutableBootsBootRomAtDefaultAddress)
{
    sim_->flash().writeDescriptor(QStringLiteral("/bin/qorax_6_0_0_1.bin"));
    zing(zingRequest(0x0D), kApp, 200);
    ASSERT_TRUE(sim_->waitForBootAfterReset(0, 3000));
    EXPECT_TRUE(sim_->inBootRom());
    EXPECT_EQ(sim_->status().address, kDefault);
    for (quint16 port : {sim_->zingPort(), sim_->ftpPort(), sim_->telnetPort()}) {
        Client app;
        EXPECT_FALSE(app.connect(kApp, port));
        EXPECT_EQ(app.error(), ECONNREFUSED);
        Client rom;
        EXPECT_TRUE(rom.connect(kDefault, port));
    }
    const QByteArray text = textAt(zing(zingRequest(0x04), kDefault), 8);
    EXPECT_TRUE(text.contains("BROMCompatLevel: 2"));
    EXPECT_FALSE(text.contains("AppSW:"));
}

TEST_F(SimBoot, OneAddressForBoth)
{
    config_.appAddress = QHostAddress(kDefault);
    startSim();
    EXPECT_EQ(be32At(zing(zingRequest(0x04), kDefault), 0), 0x1004);
    sim_->flash().remove(QStringLiteral("/tffs0/image.txt"));
    sim_->reset();
    ASSERT_TRUE(sim_->waitForBootAfterReset(0, 3000));
    EXPECT_TRUE(textAt(zing(zingRequest(0x04), kDefault), 8).contains("BROMCompatLevel:"));
}

TEST_F(SimBoot, PowerOffStaysOffUntilPowerOn)
{
    sim_->powerOff();
    EXPECT_EQ(sim_->status().mode, qsim::Mode::Off);
    Client c;
    EXPECT_FALSE(c.connect(kApp, sim_->zingPort()));
    sim_->powerOn();
    ASSERT_TRUE(sim_->waitUntilUp(3000));
    EXPECT_EQ(sim_->runningVersion(), QLatin1String("5.7.1.12"));
}

TEST_F(SimBoot, RefusesAddressesOutsideLoopback)
{
    config_.appAddress = QHostAddress(QStringLiteral("192.168.128.100"));
    qsim::Terminal t(config_);
    QString error;
    EXPECT_FALSE(t.start(&error));
    EXPECT_TRUE(error.contains(QLatin1String("loopback")));
}

TEST_F(SimBoot, GivenPortTakenIsAnError)
{
    config_.zingPort = sim_->zingPort();  // still held by the running one
    qsim::Terminal second(config_);
    QString error;
    EXPECT_FALSE(second.start(&error));
    EXPECT_TRUE(error.contains(QLatin1String("zing")));
    EXPECT_TRUE(sim_->isUp());
}
