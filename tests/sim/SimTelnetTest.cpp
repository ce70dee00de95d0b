// The shell over telnet: greetings, the PIC dialogue, the reflash per
// platform, the session limit and the output split.

#include "SimHarness.h"

using namespace simtest;

class SimTelnet : public SimTest {};

// Each greeting, a wrong password, the one session the shell serves, and
// how that session is freed: at once by logout, once noticed when the client
// just goes away.
TEST_F(SimTelnet, GreetingsLoginAndSessionLimit)
{
    // Banner and prompt come in one piece.
    const std::pair<qsim::ShellLogin, QByteArray> rows[] = {
        {qsim::ShellLogin::None, "-> "}, {qsim::ShellLogin::Bsp2A, "[BSP 2A] Terminal shell\r\n\r\nUsername: "},
        {qsim::ShellLogin::Bsp2C, "[BSP 2C] Terminal shell\r\n\r\nUsername: "}, {qsim::ShellLogin::VxWorks, "VxWorks login: "},
    };
    for (const auto& [login, greeting] : rows) {
        SCOPED_TRACE(greeting.toStdString());
        sim_->updateModel([&](qsim::Model& m) { m.appShellLogin = login; });
        Client c;
        ASSERT_TRUE(c.connect(kApp, sim_->telnetPort()));
        QByteArray first = c.readUntil(login == qsim::ShellLogin::None ? "-> " : ": ");
        EXPECT_TRUE(first.contains(greeting)) << first.toStdString();
        if (login != qsim::ShellLogin::None) {
            c.sendLine("qorauser");
            EXPECT_TRUE(c.said("Password:"));
            c.sendLine("wrong");  // greets again
            const QByteArray again = c.readUntil(greeting);
            EXPECT_TRUE(again.contains("Login incorrect") && again.contains(greeting)) << again.toStdString();
            EXPECT_FALSE(again.contains("->"));
            c.sendLine("qorauser");
            EXPECT_TRUE(c.said("Password:"));
            c.sendLine("skywardly");
            EXPECT_TRUE(c.said("-> "));
        }
        EXPECT_TRUE(c.run("cd \"/tffs0/\"").contains("value = 0 = 0x0"));
        Client second;
        ASSERT_TRUE(second.connect(kApp, sim_->telnetPort()));
        EXPECT_TRUE(second.said("Sorry, session limit reached."));
        EXPECT_TRUE(second.closedWithin(1000));
        c.sendLine("logout");
        EXPECT_TRUE(c.closedWithin(1000));
    }
    {
        Client gone;
        shellLogin(gone);
    }
    QByteArray greeting;
    for (int i = 0; i < 20 && !greeting.contains("login:"); ++i) {
        Client next;
        ASSERT_TRUE(next.connect(kApp, sim_->telnetPort()));
        greeting = next.readUntil(":", 1000);
    }
    EXPECT_TRUE(greeting.contains("VxWorks login:"));

    sim_->updateFaults([](qsim::Faults& f) { f.telnetSessionLimit = true; });
    Client refused;
    ASSERT_TRUE(refused.connect(kApp, sim_->telnetPort()));
    EXPECT_TRUE(refused.said("Sorry, session limit reached."));
}

// pic_data_show per battery state, the commands of both PIC phases in their
// order with the flash after each, and odd input.
TEST_F(SimTelnet, PicDialogue)
{
    Client c;
    shellLogin(c);
    // What the answer has, and has not.
    const std::tuple<qsim::Battery, const char*, const char*> rows[] = {
        {qsim::Battery::Absent, "BATT_PRESENT=0", "BATT_PRESENT=1"},
        {qsim::Battery::Present, "BATT_PRESENT=1", "BATT_PRESENT=0"},
        {qsim::Battery::Unknown, "PIC Data Array", "BATT_PRESENT"},
        {qsim::Battery::PollFailed, "pic_poll_data: failed", "BATT_PRESENT"},
    };
    for (const auto& [battery, has, hasNot] : rows) {
        SCOPED_TRACE(has);
        sim_->updateModel([&](qsim::Model& m) { m.battery = battery; });
        const QByteArray answer = c.run("pic_data_show");
        EXPECT_TRUE(answer.contains(has)) << answer.toStdString();
        EXPECT_FALSE(answer.contains(hasNot));
        EXPECT_FALSE(answer.contains("FAIL") || answer.contains("ERROR")) << "only the verdict lines may decide";
        EXPECT_TRUE(answer.contains("value = "));
    }

    sim_->flash().write(QStringLiteral("/tffs0/pic.s19"), "S0030000FC\r\n");
    // imageAfter "-": no image.txt.
    struct Step { QByteArray line; QByteArray answer; QByteArray imageAfter; };
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
    for (const Step& s : steps) {
        SCOPED_TRACE(s.line.toStdString());
        const QByteArray answer = c.run(s.line);
        EXPECT_TRUE(answer.startsWith(s.line + "\r\n")) << "echo";
        EXPECT_TRUE(answer.contains(s.answer)) << answer.toStdString();
        EXPECT_EQ(sim_->flash().read(QStringLiteral("/tffs0/image.txt")).value_or("-"), s.imageAfter);
    }

    // A line too long is noted and cut; telnet commands around a line are
    // dropped; "reboot" waits for the statements before it.
    c.sendLine(QByteArray(100000, 'a'));
    c.readUntil("-> ");
    const QList<qsim::Record> records = sim_->records(qsim::Service::Telnet);
    EXPECT_TRUE(std::any_of(records.begin(), records.end(), [](const qsim::Record& r) { return r.note.contains(QLatin1String("too long")); }));
    // IAC DO ECHO, IAC SB ... IAC SE around a command.
    c.send(QByteArray::fromHex("fffd01fffa1801fff0") + "pwd;sleep(4);reboot\r\n");
    const QByteArray answer = c.readUntil("value = 0 = 0x0\r\nvalue");
    EXPECT_TRUE(answer.contains("pwd;sleep(4);reboot\r\n/tffs0/\r\nvalue = 0 = 0x0")) << answer.right(200).toStdString();
    ASSERT_TRUE(sim_->waitForBootAfterReset(0, 3000));
    EXPECT_EQ(sim_->records(qsim::Service::Telnet).last().line, QLatin1String("pwd;sleep(4);reboot"));
}

TEST_F(SimTelnet, ReflashPerPlatform)
{
    // firstAnswer: what comes first; finalText: what follows (empty: none);
    // after: the mode once the reflash is over.
    struct Row { const char* platform; qsim::ReflashOutcome outcome; bool withImage; QByteArray firstAnswer; QByteArray finalText; qsim::Mode after; };
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
        {"5.9.0.1", O::RecoveryMode, true, "Recovery Mode", "PIC Reflash Completed", M::Application},
    };
    const QByteArray pic = "S00600004844521B\r\nS9030000FC\r\n";
    sim_->updateModel([](qsim::Model& m) { m.recoveryPrompts = 2; m.picAfterReflash = QStringLiteral("3.10"); });
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.platform) + " " + row.finalText.toStdString() + " " + std::to_string(int(row.outcome)));
        if (sim_->status().mode == M::Off)
            sim_->powerOn();
        ASSERT_TRUE(sim_->waitUntilUp(2000));
        // The Boot ROM as the PIC preparation leaves it: image.txt is the copy of pic.s19.
        sim_->updateModel([&](qsim::Model& m) {
            m.platformVersion = QString::fromLatin1(row.platform);
            m.reflash = row.outcome;
            m.pic = QStringLiteral("3.02");
        });
        sim_->flash().write(QStringLiteral("/tffs0/pic.s19"), pic);
        sim_->flash().write(QStringLiteral("/tffs0/image.txt"), pic);
        resetAndWait();
        ASSERT_TRUE(sim_->inBootRom());
        if (!row.withImage)
            sim_->flash().remove(QStringLiteral("/tffs0/pic.s19"));
        // What the reflash phase does before: the descriptor goes back.
        sim_->flash().writeDescriptor(QStringLiteral("/bin/qorax_5_7_1_12.bin"));
        Client c;
        shellLogin(c, kDefault);
        const int resets = sim_->resetCount();
        c.sendLine("pic_driver_reflash 1");
        QByteArray seen = c.readUntil(row.firstAnswer);
        EXPECT_TRUE(seen.contains(row.firstAnswer));
        for (int i = 0; row.outcome == O::RecoveryMode && i < 2; ++i) {
            EXPECT_TRUE(i == 0 || c.said("Recovery Mode"));
            EXPECT_FALSE(c.said("Completed", 300)) << "waits for the Enter";
            c.sendLine("");
        }
        // The final text may have come with the first answer on a slow machine.
        if (!seen.contains(row.finalText))
            seen += c.readUntil(row.finalText);
        EXPECT_TRUE(seen.contains(row.finalText)) << seen.toStdString();
        const bool good = row.after != M::BootRom;
        EXPECT_TRUE(row.after == M::Off ? sim_->waitForStatus([](const qsim::Status& s) { return s.mode == M::Off; }, 2000)
                                        : sim_->waitForBootAfterReset(resets, good ? 2000 : 300) == good);
        EXPECT_EQ(sim_->status().mode, row.after);
        EXPECT_EQ(sim_->model().pic, good ? QLatin1String("3.10") : QLatin1String("3.02"));
    }
}

TEST_F(SimTelnet, SplitOutputArrivesInPieces)
{
    sim_->updateFaults([](qsim::Faults& f) { f.telnetSplitBytes = 5; f.telnetSplitGapMs = 40; });
    Client c;
    ASSERT_TRUE(c.connect(kApp, sim_->telnetPort()));
    QByteArray all;
    int pieces = 0;
    for (QByteArray piece; !all.contains("login: ") && !(piece = c.readOnce(1000)).isEmpty(); ++pieces)
        all += piece;
    EXPECT_TRUE(all.endsWith("VxWorks login: "));
    EXPECT_GE(pieces, 3);
    EXPECT_FALSE(all.left(12).contains("login:")) << "the prompt is cut across pieces";
}
