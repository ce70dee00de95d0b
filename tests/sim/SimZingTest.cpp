// ZING through the wire: response layouts, version texts, bad requests,
// faults, reset and the antenna upgrade.

#include "SimHarness.h"
#include "TerminalTexts.h"

#include <QElapsedTimer>

#include <cerrno>

using namespace simtest;
using qsim::ZingFault;

namespace {

// What the upgrader takes as the running version: the p-2 characters before
// "AppCompatLevel: ", from "AppSW: ", before the first ",", from the first
// blank, then only digits and points.
QString versionAsRead(const QString& text)
{
    QString t = text.left(text.indexOf(QLatin1String("AppCompatLevel: ")) - 1);
    t = t.mid(t.indexOf(QLatin1String("AppSW: ")));
    t = t.left(t.indexOf(QLatin1Char(',')));
    t = t.mid(t.indexOf(QLatin1Char(' ')));
    QString v;
    for (QChar c : t) {
        if (c.isDigit() || c == QLatin1Char('.'))
            v += c;
    }
    return v;
}

}  // namespace

class SimZing : public SimTest {};

TEST_F(SimZing, ResponseLayouts)
{
    struct Row {
        quint32 request;
        int length;        // whole response, in one write
        qint32 at8;        // -1: the text length
        const char* text;  // must be in the text field at 16
    };
    const Row rows[] = {
        {0x13, 12, 0, nullptr},  {0x32, 12, 0, nullptr},  {0x33, 12, 0, nullptr},
        {0x325, 12, 0, nullptr}, {0x326, 12, 0, nullptr},
        {0x91, 272, 0, "ATB: 1.4\r\nAHW: 2.0\r\nHPA: 1.2\r\nASN: A1B2C3D4\r\nCLASS: 11\r\nAHV: 02409\r\n"},
        {0x92, 272, -1, "CLASS: 11\r\nAHV: 02409\r\nPIC: 3.02\r\n"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.request);
        const QByteArray r = zing(zingRequest(row.request));
        ASSERT_EQ(r.size(), row.length);
        EXPECT_EQ(be32At(r, 0), qint32(row.request + 0x1000));
        if (!row.text) {
            EXPECT_EQ(be32At(r, 8), row.at8);
            continue;
        }
        const QByteArray text = textAt(r, 16);
        EXPECT_TRUE(text.contains(row.text)) << text.toStdString();
        EXPECT_EQ(be32At(r, 12), text.size());
        EXPECT_EQ(be32At(r, 8), row.at8 < 0 ? text.size() : row.at8);
    }
}

TEST_F(SimZing, VersionTextsCarryWhatTheUpgraderReads)
{
    struct Row {
        qsim::AppStyle app;
        qsim::BootRomStyle rom;
        bool bootRom;
        QStringList has;
        QStringList hasNot;
        const char* version;  // as the upgrader derives it; nullptr: not read
    };
    const Row rows[] = {
        {qsim::AppStyle::Old, qsim::BootRomStyle::New, false, {"5.7.1.12 (rel), 06/15/2012 fpga 1.1"}, {"BROMCompatLevel:", "BOOTROM", "AppSW:"}, nullptr},
        {qsim::AppStyle::NewNumeric, qsim::BootRomStyle::New, false,
         {"AppSW: 5.7.1.12, 06/15/2012 AppCompatLevel: 2", "BROMCompatLevel: 2", "PIC: 3.02\r\nFPGA: 1.1"}, {"BOOTROM", "UNKNOWN"}, "5.7.1.12"},
        {qsim::AppStyle::NewUnknown, qsim::BootRomStyle::Old, false,
         {"AppSW: 5.7.1.12, 06/15/2012 AppCompatLevel: ", "BROMCompatLevel: UNKNOWN"}, {"BOOTROM"}, "5.7.1.12"},
        {qsim::AppStyle::NewNumeric, qsim::BootRomStyle::Old, true, {"BOOTROM"}, {"AppSW:"}, nullptr},
        {qsim::AppStyle::Old, qsim::BootRomStyle::New, true, {"BROMCompatLevel: 2", "PIC: 3.02\r\nFPGA: 1.1"}, {"AppSW:", "BOOTROM", "UNKNOWN"}, nullptr},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.has.first().toStdString());
        sim_->updateModel([&](qsim::Model& m) {
            m.appStyle = row.app;
            m.bootRomStyle = row.rom;
        });
        if (row.bootRom != sim_->inBootRom()) {
            if (row.bootRom)
                sim_->flash().remove(QStringLiteral("/tffs0/image.txt"));
            else
                sim_->flash().writeDescriptor(QStringLiteral("/bin/qorax_5_7_1_12.bin"));
            const int resets = sim_->resetCount();
            sim_->reset();
            ASSERT_TRUE(sim_->waitForBootAfterReset(resets, 2000));
        }
        const QByteArray r = zing(zingRequest(0x04), row.bootRom ? kDefault : kApp);
        ASSERT_EQ(be32At(r, 0), 0x1004);
        ASSERT_TRUE(r.endsWith('\0')) << "the text ends with its NUL";
        const QString text = QString::fromLatin1(textAt(r, 8));
        for (const QString& s : row.has)
            EXPECT_TRUE(text.contains(s)) << text.toStdString() << " lacks " << s.toStdString();
        for (const QString& s : row.hasNot)
            EXPECT_FALSE(text.contains(s)) << text.toStdString() << " has " << s.toStdString();
        if (row.version) {
            EXPECT_EQ(versionAsRead(text), QLatin1String(row.version));
        }
    }
}

TEST_F(SimZing, BadRequestsAreRecordedAndSurvived)
{
    struct Row {
        QByteArray bytes;
        bool answered;
        const char* note;
    };
    const Row rows[] = {
        {QByteArray::fromHex("00002000"), false, "unknown code"},
        {QByteArray::fromHex("0000"), false, "short: 2 bytes"},
        {QByteArray::fromHex("00000004"), false, "short: 4 bytes"},  // VERSION_CMD without its parameter
        {zingRequest(0x04) + "junk", true, "oversized: 4 extra bytes ignored"},
        {QByteArray(70000, 'x'), false, "unknown code"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.note);
        sim_->clearRecords();
        Client c;
        ASSERT_TRUE(c.connect(kApp, sim_->zingPort()));
        c.send(row.bytes);
        const QByteArray r = c.read(row.answered ? 2000 : 400);
        EXPECT_EQ(!r.isEmpty(), row.answered);
        ASSERT_TRUE(sim_->waitForRecords([](const QList<qsim::Record>& l) { return !l.isEmpty(); }, 2000));
        const qsim::Record rec = sim_->records().first();
        EXPECT_EQ(rec.note, QLatin1String(row.note));
        // The connection still serves a proper request.
        c.send(zingRequest(0x04));
        EXPECT_EQ(be32At(c.read(), 0), 0x1004);
    }
}

TEST_F(SimZing, FaultsPerCode)
{
    struct Row {
        quint32 code;
        ZingFault fault;
        QByteArray expected;  // exact bytes; empty: nothing
        bool closes;
    };
    const Row rows[] = {
        {0x04, ZingFault::noAnswer(), {}, false},
        {0x325, ZingFault::withStatus(7), be32(0x1325) + be32(4) + be32(7), false},
        {0x92, ZingFault::truncated(6), QByteArray::fromHex("000010920000"), false},
        {0x33, ZingFault::rawBytes("\x01\x02\x03"), "\x01\x02\x03", false},
        {0x32, ZingFault::close(), {}, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.code);
        sim_->updateFaults([&](qsim::Faults& f) { f.zingByCode = {{row.code, row.fault}}; });
        Client c;
        ASSERT_TRUE(c.connect(kApp, sim_->zingPort()));
        c.send(zingRequest(row.code));
        EXPECT_EQ(c.read(400), row.expected);
        EXPECT_EQ(c.closedWithin(200), row.closes);
        // Other codes are not touched.
        EXPECT_EQ(zing(zingRequest(0x13)), be32(0x1013) + be32(4) + be32(0));
    }
}

TEST_F(SimZing, ServiceFaults)
{
    struct Row {
        qsim::Service service;
        qsim::ServiceMode mode;
    };
    const Row rows[] = {
        {qsim::Service::Zing, qsim::ServiceMode::Refuse},   {qsim::Service::Zing, qsim::ServiceMode::Silent},
        {qsim::Service::Zing, qsim::ServiceMode::Late},     {qsim::Service::Ftp, qsim::ServiceMode::Refuse},
        {qsim::Service::Ftp, qsim::ServiceMode::Silent},    {qsim::Service::Ftp, qsim::ServiceMode::Late},
        {qsim::Service::Telnet, qsim::ServiceMode::Refuse}, {qsim::Service::Telnet, qsim::ServiceMode::Silent},
        {qsim::Service::Telnet, qsim::ServiceMode::Late},
    };
    const int lateMs = 30000;  // 300 ms at the test's time scale
    for (const Row& row : rows) {
        SCOPED_TRACE(int(row.service) * 10 + int(row.mode));
        qsim::Faults f;
        qsim::ServiceFault& sf = row.service == qsim::Service::Zing ? f.zing
                                 : row.service == qsim::Service::Ftp ? f.ftp
                                                                     : f.telnet;
        sf.mode = row.mode;
        sf.delayMs = lateMs;
        sim_->setFaults(f);
        const quint16 port = row.service == qsim::Service::Zing  ? sim_->zingPort()
                             : row.service == qsim::Service::Ftp ? sim_->ftpPort()
                                                                 : sim_->telnetPort();
        Client c;
        const bool connected = c.connect(kApp, port);
        EXPECT_EQ(connected, row.mode != qsim::ServiceMode::Refuse);
        if (!connected) {
            EXPECT_EQ(c.error(), ECONNREFUSED);
            continue;
        }
        if (row.service == qsim::Service::Zing)
            c.send(zingRequest(0x04));
        QElapsedTimer t;
        t.start();
        const QByteArray first = c.read(row.mode == qsim::ServiceMode::Silent ? 500 : 2000);
        if (row.mode == qsim::ServiceMode::Silent) {
            EXPECT_TRUE(first.isEmpty());
        } else {
            EXPECT_FALSE(first.isEmpty());
            EXPECT_GE(t.elapsed(), 280);
        }
    }
    // Cleared faults serve again.
    sim_->clearFaults();
    EXPECT_EQ(be32At(zing(zingRequest(0x04)), 0), 0x1004);
}

TEST_F(SimZing, ResetRefusesWhileRestartingThenBootsAgain)
{
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
    EXPECT_EQ(be32At(zing(zingRequest(0x04)), 0), 0x1004);
    // Data on the old connection now meets a reset.
    c.send(zingRequest(0x04));
    EXPECT_TRUE(c.closedWithin(1000));
}

TEST_F(SimZing, ResetIgnoredWhenLeftUnanswered)
{
    sim_->setFaults([] {
        qsim::Faults f;
        f.zingByCode[0x0D] = ZingFault::noAnswer();
        return f;
    }());
    zing(zingRequest(0x0D), kApp, 300);
    EXPECT_EQ(sim_->resetCount(), 0);
    EXPECT_TRUE(sim_->isUp());
}

TEST_F(SimZing, AntennaUpgradeConfirmsThenRestarts)
{
    struct Row {
        bool putImage;
        int modelStatus;
        qint32 status;
        bool restarts;
    };
    const Row rows[] = {{true, 0, 0, true}, {true, 2, 2, true}, {true, 5, 5, false}, {false, 0, 3, false}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.status);
        sim_->flash().remove(QStringLiteral("/tffs0/atb.sxm"));
        if (row.putImage) {
            ASSERT_EQ(curl({QStringLiteral("-T"), QStringLiteral("-"), ftpUrl(QStringLiteral("/tffs0/atb.sxm"))}).exitCode, 0);
        }
        sim_->updateModel([&](qsim::Model& m) {
            m.antennaUpgradeStatus = row.modelStatus;
            m.atbAfterUpgrade = QStringLiteral("1.9");
        });
        const int resets = sim_->resetCount();
        const QByteArray r = zing(zingRequest(0x90));
        ASSERT_EQ(r.size(), 272);
        EXPECT_EQ(be32At(r, 0), 0x1090);
        EXPECT_EQ(be32At(r, 8), row.status);
        EXPECT_EQ(be32At(r, 12), textAt(r, 16).size());
        EXPECT_GT(be32At(r, 12), 0);
        EXPECT_EQ(sim_->waitForBootAfterReset(resets, row.restarts ? 2000 : 300), row.restarts);
        if (row.restarts) {
            const QByteArray info = zing(zingRequest(0x91));
            EXPECT_TRUE(textAt(info, 16).contains("ATB: 1.9\r\n"));
        }
    }
}

TEST_F(SimZing, BootRomAnswersOnlyVersionAndReset)
{
    sim_->flash().remove(QStringLiteral("/tffs0/image.txt"));
    sim_->reset();
    ASSERT_TRUE(sim_->waitForBootAfterReset(0, 2000));
    ASSERT_TRUE(sim_->inBootRom());
    EXPECT_EQ(be32At(zing(zingRequest(0x04), kDefault), 0), 0x1004);
    EXPECT_TRUE(zing(zingRequest(0x92), kDefault, 300).isEmpty());
    EXPECT_TRUE(zing(zingRequest(0x32), kDefault, 300).isEmpty());
}
