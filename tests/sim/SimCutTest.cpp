// The cut at one received item (Faults::cut): the terminal records the item
// and never acts on it, or stops a transfer after a given number of bytes;
// power-off falls silent, a link reset drops every connection and leaves the
// terminal up.

#include "SimHarness.h"

using namespace simtest;
using Cut = qsim::Faults::Cut;

class SimCut : public SimTest {};

TEST_F(SimCut, TheTerminalNeverActsOnTheCutItem)
{
    // item: RESET_CMD goes by ZING, the rest by FTP; afterBytes: in the
    // transfer's data (-1: at the command); kept: bytes on the flash (STOR) or
    // received (-1: all, not cut).
    struct Row { Cut::Action action; QByteArray item; qint64 afterBytes; qint64 kept; };
    const Row rows[] = {
        {Cut::Action::PowerOff, "RESET_CMD", -1, 0}, {Cut::Action::ResetLinks, "RESET_CMD", -1, 0},
        {Cut::Action::PowerOff, "DELE image.txt", -1, 0}, {Cut::Action::ResetLinks, "DELE image.txt", -1, 0},
        {Cut::Action::PowerOff, "STOR /tffs0/bin/qorax_9_9.bin", 30000, 30000},
        {Cut::Action::ResetLinks, "STOR /tffs0/bin/qorax_9_9.bin", 30000, 30000},
        {Cut::Action::ResetLinks, "RETR /tffs0/bin/qorax_5_7_1_12.bin", 1000, 1000},
        {Cut::Action::PowerOff, "NLST", 0, 0},
        {Cut::Action::ResetLinks, "RETR /tffs0/image.txt", 100000, -1},  // shorter than the cut
    };
    const QByteArray upload(100000, 'u');
    for (const Row& row : rows) {
        const bool powerOff = row.action == Cut::Action::PowerOff;
        const bool transfer = row.afterBytes >= 0;
        SCOPED_TRACE(row.item.toStdString() + (powerOff ? ", power off" : ", links reset"));
        startSim();
        Client ctl, data, zing;
        ftpLogin(ctl);
        ASSERT_EQ(ftp(ctl, "TYPE I"), 200);
        ASSERT_TRUE(!transfer || openData(ctl, data));
        ASSERT_TRUE(zing.connect(kApp, sim_->zingPort()));
        const quint64 seq = sim_->records().last().seq + 1;
        sim_->updateFaults([&](qsim::Faults& f) { f.cut = {row.action, seq, row.afterBytes}; });
        if (row.item == "RESET_CMD")
            zing.send(zingRequest(0x0D));
        else
            ctl.sendLine(row.item);
        QByteArray received;
        if (row.item.startsWith("STOR"))
            data.send(upload);
        else if (transfer)
            received = data.read(powerOff ? 300 : 2000, 300);
        if (row.kept < 0) {
            EXPECT_EQ(ftpReply(ctl), 226);
            EXPECT_EQ(received, sim_->flash().read(QStringLiteral("/tffs0/image.txt")).value_or("none"));
            EXPECT_EQ(sim_->status().cuts, 0);
            continue;
        }
        ASSERT_TRUE(sim_->waitForStatus([](const qsim::Status& s) { return s.cuts >= 1; }, 3000));
        // A reset link ends at once; a terminal without power says nothing at all.
        EXPECT_EQ(ctl.closedWithin(powerOff ? 300 : 2000), !powerOff);
        EXPECT_EQ(zing.closedWithin(powerOff ? 300 : 2000), !powerOff);
        EXPECT_EQ(sim_->status().mode, powerOff ? qsim::Mode::Off : qsim::Mode::Application);
        EXPECT_EQ(sim_->records().last().seq, seq) << "nothing is received after the cut";
        EXPECT_EQ(sim_->resetCount(), 0);  // the reset request was not acted on
        EXPECT_TRUE(sim_->flash().exists(QStringLiteral("/tffs0/image.txt")));
        if (row.item.startsWith("STOR")) {
            EXPECT_EQ(sim_->flash().read(QStringLiteral("/tffs0/bin/qorax_9_9.bin")).value_or("none"), upload.left(int(row.kept)));
        } else {
            EXPECT_EQ(received.size(), row.kept);
        }
        if (powerOff) {
            Client off;
            EXPECT_FALSE(off.connect(kApp, sim_->zingPort())) << "off until powered on";
            sim_->powerOn();
            ASSERT_TRUE(sim_->waitUntilUp(2000));
        }
        // Only that item: the next ones are served.
        Client again;
        ftpLogin(again);
        EXPECT_EQ(ftp(again, "SIZE image.txt"), 213);
        EXPECT_EQ(sim_->status().cuts, 1);
    }
}
