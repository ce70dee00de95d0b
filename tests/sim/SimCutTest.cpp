// The cut at one received item (Faults::cut) and the canned name listing:
// the terminal records the item and never acts on it, or stops a transfer
// after a given number of bytes; power-off falls silent, a link reset drops
// every connection and leaves the terminal up.

#include "SimHarness.h"

#include <QRegularExpression>

using namespace simtest;
using Cut = qsim::Faults::Cut;

namespace {

class SimCut : public SimTest {
protected:
    // Arms the cut for the item `ahead` places after the last one recorded.
    void armCut(Cut::Action action, int ahead, qint64 afterBytes = -1)
    {
        const QList<qsim::Record> all = sim_->records();
        const quint64 last = all.isEmpty() ? 0 : all.last().seq;
        sim_->updateFaults([&](qsim::Faults& f) {
            f.cut.action = action;
            f.cut.atSeq = last + quint64(ahead);
            f.cut.afterBytes = afterBytes;
        });
    }
    int cuts() const { return sim_->status().cuts; }
    bool waitForCuts(int n) const
    {
        return sim_->waitForStatus([n](const qsim::Status& s) { return s.cuts >= n; }, 3000);
    }

    // A passive data connection for the next transfer command.
    bool openData(Client& ctl, Client& data)
    {
        QByteArray text;
        if (ftp(ctl, "PASV", &text) != 227)
            return false;
        const auto m = QRegularExpression(QStringLiteral("\\((\\d+),(\\d+),(\\d+),(\\d+),(\\d+),(\\d+)\\)"))
                           .match(QString::fromLatin1(text));
        return m.hasMatch() &&
               data.connect(QStringLiteral("%1.%2.%3.%4").arg(m.captured(1), m.captured(2), m.captured(3), m.captured(4)),
                            quint16(m.captured(5).toInt() * 256 + m.captured(6).toInt()));
    }
};

TEST_F(SimCut, AtAnItemTheTerminalNeverActsOnIt)
{
    struct Row {
        const char* name;
        Cut::Action action;
        bool zing;  // a ZING reset request; otherwise an FTP DELE of image.txt
    };
    const Row rows[] = {
        {"power off at a ZING request", Cut::Action::PowerOff, true},
        {"links reset at a ZING request", Cut::Action::ResetLinks, true},
        {"power off at an FTP command", Cut::Action::PowerOff, false},
        {"links reset at an FTP command", Cut::Action::ResetLinks, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        startSim();
        const bool powerOff = row.action == Cut::Action::PowerOff;
        Client c;
        if (row.zing) {
            ASSERT_TRUE(c.connect(kApp, sim_->zingPort()));
            armCut(row.action, 1);
            c.send(zingRequest(0x0D));
        } else {
            ftpLogin(c);
            armCut(row.action, 1);
            c.sendLine("DELE image.txt");
        }
        ASSERT_TRUE(waitForCuts(1));
        // A reset link ends at once; a terminal without power says nothing at all.
        EXPECT_EQ(c.closedWithin(powerOff ? 300 : 2000), !powerOff);
        EXPECT_EQ(sim_->status().mode, powerOff ? qsim::Mode::Off : qsim::Mode::Application);
        EXPECT_EQ(sim_->records().size(), row.zing ? 1 : 3);
        EXPECT_EQ(sim_->resetCount(), 0);  // the reset request was not acted on
        EXPECT_TRUE(sim_->flash().exists(QStringLiteral("/tffs0/image.txt")));
        // Only that item: the next ones are served.
        if (powerOff) {
            sim_->powerOn();
            ASSERT_TRUE(sim_->waitUntilUp(2000));
        }
        Client again;
        ftpLogin(again);
        EXPECT_EQ(ftp(again, "SIZE image.txt"), 213);
        EXPECT_EQ(cuts(), 1);
    }
}

TEST_F(SimCut, InsideATransferAfterSomeBytes)
{
    const QByteArray upload(100000, 'u');
    struct Row {
        const char* name;
        Cut::Action action;
        const char* command;
        qint64 afterBytes;
        qint64 expectBytes;  // on the flash (STOR) or received (RETR, NLST); -1: all
    };
    const Row rows[] = {
        {"power off in an upload", Cut::Action::PowerOff, "STOR /tffs0/bin/qorax_9_9.bin", 30000, 30000},
        {"links reset in an upload", Cut::Action::ResetLinks, "STOR /tffs0/bin/qorax_9_9.bin", 30000, 30000},
        {"links reset in a download", Cut::Action::ResetLinks, "RETR /tffs0/bin/qorax_5_7_1_12.bin", 1000, 1000},
        {"power off before a listing", Cut::Action::PowerOff, "NLST", 0, 0},
        {"a transfer shorter than the cut", Cut::Action::ResetLinks, "RETR /tffs0/image.txt", 100000, -1},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        startSim();
        const QByteArray command(row.command);
        Client ctl;
        Client data;
        ftpLogin(ctl);
        ASSERT_EQ(ftp(ctl, "TYPE I"), 200);
        ASSERT_TRUE(openData(ctl, data));
        armCut(row.action, 1, row.afterBytes);
        ctl.sendLine(command);
        QByteArray received;
        if (command.startsWith("STOR")) {
            data.send(upload);
        } else {
            for (QByteArray more = data.readOnce(row.action == Cut::Action::PowerOff ? 300 : 2000); !more.isEmpty();
                 more = data.readOnce(300))
                received += more;
        }
        if (row.expectBytes < 0) {
            EXPECT_EQ(ftpReply(ctl), 226);
            EXPECT_EQ(received, sim_->flash().read(QStringLiteral("/tffs0/image.txt")).value_or("none"));
            EXPECT_EQ(cuts(), 0);
            continue;
        }
        ASSERT_TRUE(waitForCuts(1));
        if (command.startsWith("STOR"))
            EXPECT_EQ(sim_->flash().read(QStringLiteral("/tffs0/bin/qorax_9_9.bin")).value_or("none"),
                      upload.left(int(row.expectBytes)));
        else
            EXPECT_EQ(received.size(), row.expectBytes);
        EXPECT_EQ(sim_->status().mode,
                  row.action == Cut::Action::PowerOff ? qsim::Mode::Off : qsim::Mode::Application);
    }
}

TEST_F(SimCut, CannedNameListing)
{
    const QByteArray names("a b\r\n\"q\"\r\n../x\r\n" + QByteArray(5000, 'n') + "\r\n");
    sim_->updateFaults([&](qsim::Faults& f) { f.ftpNameListing = names; });
    Client ctl;
    Client data;
    ftpLogin(ctl);
    ASSERT_TRUE(openData(ctl, data));
    ctl.sendLine("NLST");
    QByteArray received;
    for (QByteArray more = data.readOnce(2000); !more.isEmpty(); more = data.readOnce(300))
        received += more;
    EXPECT_EQ(ftpReply(ctl), 226);
    EXPECT_EQ(received, names);
    // A full listing still shows the folder.
    Client data2;
    ASSERT_TRUE(openData(ctl, data2));
    ctl.sendLine("LIST");
    EXPECT_TRUE(data2.read().contains("image.txt"));
}

}  // namespace
