// The boot model: what tffs0/image.txt names decides application or Boot ROM,
// and which address answers.

#include "SimHarness.h"

#include <cerrno>

using namespace simtest;

class SimBoot : public SimTest {};

TEST_F(SimBoot, DescriptorDecidesWhatBoots)
{
    ASSERT_TRUE(sim_->flash().putExecutable(QStringLiteral("5.9.0.1"), ""));
    const QByteArray pic = "S00600004844521B\r\nS9030000FC\r\n";
    ASSERT_TRUE(sim_->flash().write(QStringLiteral("/tffs0/pic.s19"), pic));
    // Descriptor ("-": none) and the version it boots (nullptr: the Boot ROM).
    const std::pair<QByteArray, const char*> rows[] = {
        {" /bin/qorax_5_7_1_12.bin\r\n", "5.7.1.12"},
        {"-", nullptr},
        {"", nullptr},
        {"/bin/qorax_5_9_0_1.bin", nullptr},         // empty executable
        {"/tffs0/bin/qorax_5_7_1_12.bin", nullptr},  // not the descriptor's form
        {"/bin/\r\nqorax_5_7_1_12.bin", nullptr},
        {pic, nullptr},  // the copy of pic.s19
        {"/bin/qorax_5_7_1_12.bin", "5.7.1.12"},
        {"/bin/qorax_6_0_0_1.bin", nullptr},  // named file missing
    };
    for (const auto& [descriptor, version] : rows) {
        SCOPED_TRACE(descriptor.toStdString());
        sim_->flash().remove(QStringLiteral("/tffs0/image.txt"));
        if (descriptor != "-")
            sim_->flash().write(QStringLiteral("/tffs0/image.txt"), descriptor);
        resetAndWait();
        EXPECT_EQ(sim_->status().mode, version ? qsim::Mode::Application : qsim::Mode::BootRom);
        EXPECT_EQ(sim_->runningVersion(), QLatin1String(version));
        EXPECT_EQ(sim_->status().address, version ? kApp : kDefault);
    }
    // The Boot ROM answers at the default address only, and only the version and the reset.
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
    EXPECT_TRUE(zing(zingRequest(0x92), kDefault, 300).isEmpty());
    EXPECT_TRUE(zing(zingRequest(0x32), kDefault, 300).isEmpty());
}

TEST_F(SimBoot, UploadedExecutableBootsAfterResetCmd)
{
    const QByteArray exe(70000, '\x5a');
    ASSERT_EQ(curl({QStringLiteral("-T"), localFile(QStringLiteral("new.bin"), exe), ftpUrl(QStringLiteral("/tffs0/bin/qorax_5_7_2_0.bin"))}).exitCode, 0);
    ASSERT_EQ(curl({QStringLiteral("--use-ascii"), QStringLiteral("-T"), localFile(QStringLiteral("image.txt"), "/bin/qorax_5_7_2_0.bin"),
                    ftpUrl(QStringLiteral("/tffs0/image.txt"))}).exitCode, 0);

    EXPECT_EQ(sim_->runningVersion(), QLatin1String("5.7.1.12")) << "nothing changes before the reset";

    // Long enough that the checks below all fall inside the restart, also on a loaded machine.
    sim_->updateModel([](qsim::Model& m) { m.restartMs = 150000; });  // 1.5 s
    Client c;
    ASSERT_TRUE(c.connect(kApp, sim_->zingPort()));
    c.send(zingRequest(0x0D));
    EXPECT_TRUE(c.read(300).isEmpty()) << "RESET_CMD is not answered";
    EXPECT_FALSE(c.closedWithin(50)) << "a restarting terminal sends no FIN";
    ASSERT_TRUE(sim_->waitForStatus([](const qsim::Status& s) { return s.mode == qsim::Mode::Restarting; }, 1000));
    Client during;
    EXPECT_FALSE(during.connect(kApp, sim_->zingPort()));
    EXPECT_EQ(during.error(), ECONNREFUSED);
    ASSERT_TRUE(sim_->waitForBootAfterReset(0, 5000));
    EXPECT_EQ(sim_->resetCount(), 1);
    EXPECT_EQ(sim_->runningVersion(), QLatin1String("5.7.2.0"));
    EXPECT_TRUE(textAt(zing(zingRequest(0x04)), 8).contains("AppSW: 5.7.2.0, "));
    EXPECT_EQ(sim_->flash().read(QStringLiteral("/tffs0/bin/qorax_5_7_2_0.bin")).value_or(""), exe);
    // Data on the old connection now meets a reset.
    c.send(zingRequest(0x04));
    EXPECT_TRUE(c.closedWithin(1000));
}

TEST_F(SimBoot, OneAddressForBoth)
{
    config_.appAddress = QHostAddress(kDefault);
    startSim();
    EXPECT_EQ(be32At(zing(zingRequest(0x04), kDefault), 0), 0x1004);
    bootRom();
    EXPECT_TRUE(textAt(zing(zingRequest(0x04), kDefault), 8).contains("BROMCompatLevel:"));
}

TEST_F(SimBoot, StartRefusesOutsideLoopbackAndTakenPorts)
{
    qsim::Config outside = config_, taken = config_;
    outside.appAddress = QHostAddress(QStringLiteral("192.168.128.100"));
    taken.zingPort = sim_->zingPort();  // still held by the running one
    for (const auto& [config, word] : {std::pair{outside, "loopback"}, std::pair{taken, "zing"}}) {
        SCOPED_TRACE(word);
        qsim::Terminal t(config);
        QString error;
        EXPECT_FALSE(t.start(&error));
        EXPECT_TRUE(error.contains(QLatin1String(word))) << error.toStdString();
    }
    EXPECT_TRUE(sim_->isUp());
}
