// The shell over telnet: greetings, the PIC dialogue, the reflash per
// platform, the session limit and the output split.

#include "SimHarness.h"

using namespace simtest;

class SimTelnet : public SimTest {
protected:
    // Sends a line and returns the shell's answer up to its next prompt.
    QByteArray run(Client& c, const QByteArray& line, int timeoutMs = 3000)
    {
        c.sendLine(line);
        return c.readUntil("-> ", timeoutMs);
    }

    // Puts the terminal into its Boot ROM on the given platform, as the PIC
    // preparation leaves it: image.txt is the copy of pic.s19.
    void bootRomWithPicImage(const QString& platformVersion)
    {
        sim_->updateModel([&](qsim::Model& m) { m.platformVersion = platformVersion; });
        const QByteArray pic = "S00600004844521B\r\nS9030000FC\r\n";
        sim_->flash().write(QStringLiteral("/tffs0/pic.s19"), pic);
        sim_->flash().write(QStringLiteral("/tffs0/image.txt"), pic);
        const int resets = sim_->resetCount();
        sim_->reset();
        ASSERT_TRUE(sim_->waitForBootAfterReset(resets, 2000));
        ASSERT_TRUE(sim_->inBootRom());
    }
};

TEST_F(SimTelnet, Greetings)
{
    struct Row {
        qsim::ShellLogin login;
        QByteArray greeting;
    };
    const Row rows[] = {
        {qsim::ShellLogin::VxWorks, "VxWorks login:"},
        {qsim::ShellLogin::Bsp2A, "[BSP 2A]"},
        {qsim::ShellLogin::Bsp2C, "[BSP 2C]"},
        {qsim::ShellLogin::None, "-> "},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.greeting.toStdString());
        sim_->updateModel([&](qsim::Model& m) { m.appShellLogin = row.login; });
        Client c;
        ASSERT_TRUE(c.connect(kApp, sim_->telnetPort()));
        QByteArray first = c.readUntil(row.login == qsim::ShellLogin::None ? "-> " : ": ");
        EXPECT_TRUE(first.contains(row.greeting)) << first.toStdString();
        if (row.login == qsim::ShellLogin::Bsp2A || row.login == qsim::ShellLogin::Bsp2C) {
            EXPECT_TRUE(first.contains("Username:")) << "banner and prompt come in one piece";
        }
        if (row.login != qsim::ShellLogin::None) {
            c.sendLine("qorauser");
            EXPECT_TRUE(c.readUntil("Password:").contains("Password:"));
            c.sendLine("skywardly");
            EXPECT_TRUE(c.readUntil("-> ").contains("-> "));
        }
        EXPECT_TRUE(run(c, "cd \"/tffs0/\"").contains("value = 0 = 0x0"));
        c.sendLine("logout");
        EXPECT_TRUE(c.closedWithin(1000));
    }
}

TEST_F(SimTelnet, WrongPasswordAsksAgain)
{
    Client c;
    ASSERT_TRUE(c.connect(kApp, sim_->telnetPort()));
    c.readUntil("login: ");
    c.sendLine("qorauser");
    c.readUntil("Password:");
    c.sendLine("wrong");
    const QByteArray answer = c.readUntil("login: ");
    EXPECT_TRUE(answer.contains("Login incorrect"));
    EXPECT_FALSE(answer.contains("->"));
}

TEST_F(SimTelnet, SessionLimit)
{
    Client first;
    shellLogin(first);
    Client second;
    ASSERT_TRUE(second.connect(kApp, sim_->telnetPort()));
    EXPECT_TRUE(second.readUntil("reached.").contains("Sorry, session limit reached."));
    EXPECT_TRUE(second.closedWithin(1000));
    first.close();
    // Once the first one is gone the shell serves again (after it noticed).
    QByteArray greeting;
    for (int i = 0; i < 20 && !greeting.contains("login:"); ++i) {
        Client third;
        ASSERT_TRUE(third.connect(kApp, sim_->telnetPort()));
        greeting = third.readUntil(":", 1000);
    }
    EXPECT_TRUE(greeting.contains("VxWorks login:"));

    sim_->updateFaults([](qsim::Faults& f) { f.telnetSessionLimit = true; });
    Client refused;
    ASSERT_TRUE(refused.connect(kApp, sim_->telnetPort()));
    EXPECT_TRUE(refused.readUntil("reached.").contains("Sorry, session limit reached."));
}

TEST_F(SimTelnet, BatteryStates)
{
    struct Row {
        qsim::Battery battery;
        const char* has;
        const char* hasNot;
    };
    const Row rows[] = {
        {qsim::Battery::Absent, "BATT_PRESENT=0", "BATT_PRESENT=1"},
        {qsim::Battery::Present, "BATT_PRESENT=1", "BATT_PRESENT=0"},
        {qsim::Battery::Unknown, "PIC Data Array", "BATT_PRESENT"},
        {qsim::Battery::PollFailed, "pic_poll_data: failed", "BATT_PRESENT"},
    };
    Client c;
    shellLogin(c);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.has);
        sim_->updateModel([&](qsim::Model& m) { m.battery = row.battery; });
        const QByteArray answer = run(c, "pic_data_show");
        EXPECT_TRUE(answer.contains(row.has)) << answer.toStdString();
        EXPECT_FALSE(answer.contains(row.hasNot));
        EXPECT_FALSE(answer.contains("FAIL") || answer.contains("ERROR")) << "only the verdict lines may decide";
        EXPECT_TRUE(answer.contains("value = "));
    }
}

// The commands of both PIC phases, in their order, with the flash after each.
TEST_F(SimTelnet, DescriptorDialogue)
{
    sim_->flash().write(QStringLiteral("/tffs0/pic.s19"), "S0030000FC\r\n");
    struct Step {
        QByteArray line;
        QByteArray answer;
        QByteArray imageAfter;  // "-" : no image.txt
    };
    const Step steps[] = {
        {"cd \"/tffs0/\"", "value = 0 = 0x0", "/bin/qorax_5_7_1_12.bin"},
        {"copy \"image.txt\"", "/bin/qorax_5_7_1_12.bin\r\nvalue = 0 = 0x0", "/bin/qorax_5_7_1_12.bin"},
        {"mv \"image.txt\",\"uimage.txt\"", "value = 0 = 0x0", "-"},
        {"copy \"image.txt\"", "value = -1 = 0xffffffff", "-"},
        {"copy \"pic.s19\",\"image.txt\"", "value = 0 = 0x0", "S0030000FC\r\n"},
        {"cd \"/tffs0/\"; copy \"uimage.txt\"", "/bin/qorax_5_7_1_12.bin\r\nvalue = 0 = 0x0", "S0030000FC\r\n"},
        {"mv \"uimage.txt\", \"image.txt\"", "value = 0 = 0x0", "/bin/qorax_5_7_1_12.bin"},
        {"cd \"/tffs0/\"; copy \"uimage.txt\"", "value = 0 = 0x0\r\ncopy: cannot open \"uimage.txt\"\r\nvalue = -1 = 0xffffffff",
         "/bin/qorax_5_7_1_12.bin"},
        {"rm \"image.txt\"", "value = 0 = 0x0", "-"},
        {"rm \"image.txt\"", "value = -1 = 0xffffffff", "-"},
        {"cd \"/nowhere/\"", "value = -1 = 0xffffffff", "-"},
        {"cd \"../..\"", "value = -1 = 0xffffffff", "-"},
        {"copy \"../../../etc/hostname\"", "value = -1 = 0xffffffff", "-"},
        {"no_such_command 1", "undefined symbol: no_such_command", "-"},
    };
    Client c;
    shellLogin(c);
    for (const Step& s : steps) {
        SCOPED_TRACE(s.line.toStdString());
        const QByteArray answer = run(c, s.line);
        EXPECT_TRUE(answer.startsWith(s.line + "\r\n")) << "echo";
        EXPECT_TRUE(answer.contains(s.answer)) << answer.toStdString();
        EXPECT_EQ(sim_->flash().read(QStringLiteral("/tffs0/image.txt")).value_or("-"), s.imageAfter);
    }
}

TEST_F(SimTelnet, ReflashPerPlatform)
{
    struct Row {
        const char* platform;
        qsim::ReflashOutcome outcome;
        bool withImage;
        QByteArray firstAnswer;  // in the first chunk after the command
        QByteArray finalText;    // awaited afterwards; empty: none
        qsim::Mode after;        // once the reflash is over
    };
    using M = qsim::Mode;
    using O = qsim::ReflashOutcome;
    const Row rows[] = {
        {"5.7.1.12", O::Success, true, "value = 0 = 0x0", "", M::Application},
        {"5.9.0.1", O::Success, true, "Reflashing PIC", "PIC Reflash Completed", M::Application},
        {"5.8.0.1", O::Success, true, "Reflashing PIC", "PIC Reflash Completed", M::Off},
        {"6.0.0.1", O::Success, true, "Reflashing PIC", "PIC Reflash Completed", M::Off},
        {"5.9.0.1", O::Fail, true, "Reflashing PIC", "FAIL", M::BootRom},
        {"5.8.0.1", O::Success, false, "Reflashing PIC", "FAIL", M::BootRom},
        {"5.7.1.12", O::Success, false, "value = -1 = 0xffffffff", "", M::BootRom},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.platform) + " " + row.finalText.toStdString());
        if (sim_->status().mode == M::Off)
            sim_->powerOn();
        ASSERT_TRUE(sim_->waitUntilUp(2000));
        bootRomWithPicImage(QString::fromLatin1(row.platform));
        sim_->updateModel([&](qsim::Model& m) {
            m.reflash = row.outcome;
            m.picAfterReflash = QStringLiteral("3.10");
            m.pic = QStringLiteral("3.02");
        });
        if (!row.withImage)
            sim_->flash().remove(QStringLiteral("/tffs0/pic.s19"));
        // What the reflash phase does before: the descriptor goes back.
        sim_->flash().writeDescriptor(QStringLiteral("/bin/qorax_5_7_1_12.bin"));
        Client c;
        shellLogin(c, kDefault);
        const int resets = sim_->resetCount();
        c.sendLine("pic_driver_reflash 1");
        EXPECT_TRUE(c.readUntil(row.firstAnswer).contains(row.firstAnswer));
        if (!row.finalText.isEmpty()) {
            EXPECT_TRUE(c.readUntil(row.finalText).contains(row.finalText));
        }
        const bool good = row.after != M::BootRom;
        if (row.after == M::Off) {
            EXPECT_TRUE(sim_->waitForStatus([](const qsim::Status& s) { return s.mode == qsim::Mode::Off; }, 2000));
        }
        else if (good)
            EXPECT_TRUE(sim_->waitForBootAfterReset(resets, 2000));
        else {
            EXPECT_FALSE(sim_->waitForBootAfterReset(resets, 300));
        }
        EXPECT_EQ(sim_->status().mode, row.after);
        EXPECT_EQ(sim_->model().pic, good ? QLatin1String("3.10") : QLatin1String("3.02"));
    }
}

TEST_F(SimTelnet, RecoveryModeWaitsForEmptyLines)
{
    bootRomWithPicImage(QStringLiteral("5.9.0.1"));
    sim_->updateModel([](qsim::Model& m) {
        m.reflash = qsim::ReflashOutcome::RecoveryMode;
        m.recoveryPrompts = 2;
    });
    Client c;
    shellLogin(c, kDefault);
    c.sendLine("pic_driver_reflash 1");
    for (int i = 0; i < 2; ++i) {
        EXPECT_TRUE(c.readUntil("Recovery Mode").contains("Recovery Mode"));
        EXPECT_FALSE(c.readUntil("Completed", 300).contains("Completed")) << "waits for the Enter";
        c.sendLine("");
    }
    EXPECT_TRUE(c.readUntil("PIC Reflash Completed").contains("PIC Reflash Completed"));
}

TEST_F(SimTelnet, RebootAfterSleep)
{
    Client c;
    shellLogin(c);
    c.sendLine("pwd;sleep(4);reboot");
    const QByteArray answer = c.readUntil("value = 0 = 0x0\r\nvalue");
    EXPECT_TRUE(answer.contains("/\r\nvalue = 0 = 0x0")) << answer.toStdString();
    ASSERT_TRUE(sim_->waitForBootAfterReset(0, 3000));
    const qsim::Record last = sim_->records(qsim::Service::Telnet).last();
    EXPECT_EQ(last.line, QLatin1String("pwd;sleep(4);reboot"));
}

TEST_F(SimTelnet, SplitOutputArrivesInPieces)
{
    sim_->updateFaults([](qsim::Faults& f) {
        f.telnetSplitBytes = 5;
        f.telnetSplitGapMs = 40;
    });
    Client c;
    ASSERT_TRUE(c.connect(kApp, sim_->telnetPort()));
    QByteArray all;
    int pieces = 0;
    while (!all.contains("login: ")) {
        const QByteArray piece = c.readOnce(1000);
        if (piece.isEmpty())
            break;
        all += piece;
        ++pieces;
    }
    EXPECT_TRUE(all.endsWith("VxWorks login: "));
    EXPECT_GE(pieces, 3);
    EXPECT_FALSE(all.left(12).contains("login:")) << "the prompt is cut across pieces";
}

TEST_F(SimTelnet, SurvivesLongLinesAndTelnetCommands)
{
    Client c;
    shellLogin(c);
    c.sendLine(QByteArray(100000, 'a'));
    c.readUntil("-> ");
    // IAC DO ECHO, IAC SB ... IAC SE around a command.
    c.send(QByteArray::fromHex("fffd01fffa1801fff0") + "pwd\r\n");
    EXPECT_TRUE(c.readUntil("value").contains("/\r\nvalue = 0 = 0x0"));
    bool longNoted = false;
    for (const qsim::Record& r : sim_->records(qsim::Service::Telnet))
        longNoted = longNoted || r.note.contains(QLatin1String("too long"));
    EXPECT_TRUE(longNoted);
}
