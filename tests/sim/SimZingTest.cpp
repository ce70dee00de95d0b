// ZING through the wire: response layouts, version texts, bad requests,
// faults and the antenna upgrade.

#include "SimHarness.h"

#include <QElapsedTimer>

#include <cerrno>

using namespace simtest;
using qsim::ZingFault;

class SimZing : public SimTest {};

TEST_F(SimZing, ResponseLayouts)
{
    // The whole response comes in one write; at8 -1: the text length; text: in the field at 16.
    struct Row { quint32 request; int length; qint32 at8; const char* text = ""; };
    const Row rows[] = {
        {0x13, 12, 0}, {0x32, 12, 0}, {0x33, 12, 0}, {0x325, 12, 0}, {0x326, 12, 0},
        {0x91, 272, 0, "ATB: 1.4\r\nAHW: 2.0\r\nHPA: 1.2\r\nASN: A1B2C3D4\r\nCLASS: 11\r\nAHV: 02409\r\n"},
        {0x92, 272, -1, "CLASS: 11\r\nAHV: 02409\r\nPIC: 3.02\r\n"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.request);
        const QByteArray r = zing(zingRequest(row.request));
        ASSERT_EQ(r.size(), row.length);
        EXPECT_EQ(be32At(r, 0), qint32(row.request + 0x1000));
        const QByteArray text = textAt(r, 16);
        EXPECT_TRUE(text.contains(row.text)) << text.toStdString();
        EXPECT_EQ(be32At(r, 8), row.at8 < 0 ? text.size() : row.at8);
        EXPECT_TRUE(row.length == 12 || be32At(r, 12) == text.size());
    }
}

TEST_F(SimZing, VersionTextsCarryWhatTheUpgraderReads)
{
    struct Row { qsim::AppStyle app; qsim::BootRomStyle rom; bool bootRom; QStringList has; QStringList hasNot; };
    // The upgrader takes the version from "AppSW: " to the first comma before
    // "AppCompatLevel: ", so that whole stretch is matched.
    const Row rows[] = {
        {qsim::AppStyle::Old, qsim::BootRomStyle::New, false, {"5.7.1.12 (rel), 06/15/2012 fpga 1.1"}, {"BROMCompatLevel:", "BOOTROM", "AppSW:"}},
        {qsim::AppStyle::NewNumeric, qsim::BootRomStyle::New, false,
         {"AppSW: 5.7.1.12, 06/15/2012 AppCompatLevel: 2", "BROMCompatLevel: 2", "PIC: 3.02\r\nFPGA: 1.1"}, {"BOOTROM", "UNKNOWN"}},
        {qsim::AppStyle::NewUnknown, qsim::BootRomStyle::Old, false,
         {"AppSW: 5.7.1.12, 06/15/2012 AppCompatLevel: ", "BROMCompatLevel: UNKNOWN"}, {"BOOTROM"}},
        {qsim::AppStyle::NewNumeric, qsim::BootRomStyle::Old, true, {"BOOTROM"}, {"AppSW:"}},
        {qsim::AppStyle::Old, qsim::BootRomStyle::New, true, {"BROMCompatLevel: 2", "PIC: 3.02\r\nFPGA: 1.1"}, {"AppSW:", "BOOTROM", "UNKNOWN"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.has.first().toStdString());
        sim_->updateModel([&](qsim::Model& m) { m.appStyle = row.app; m.bootRomStyle = row.rom; });
        if (row.bootRom && !sim_->inBootRom())
            bootRom();
        const QByteArray r = zing(zingRequest(0x04), row.bootRom ? kDefault : kApp);
        ASSERT_EQ(be32At(r, 0), 0x1004);
        ASSERT_TRUE(r.endsWith('\0')) << "the text ends with its NUL";
        const QString text = QString::fromLatin1(textAt(r, 8));
        for (const QString& s : row.has)
            EXPECT_TRUE(text.contains(s)) << text.toStdString() << " lacks " << s.toStdString();
        for (const QString& s : row.hasNot)
            EXPECT_FALSE(text.contains(s)) << text.toStdString() << " has " << s.toStdString();
    }
}

// Bad requests are recorded with a note and survived; a fault changes the
// answer to its code only.
TEST_F(SimZing, BadRequestsAndFaultsPerCode)
{
    const QByteArray version = zing(zingRequest(0x04));
    ASSERT_EQ(be32At(version, 0), 0x1004);
    // expected: the exact bytes (empty: nothing); note: the record's.
    struct Row { QByteArray request; QMap<quint32, ZingFault> faults; QByteArray expected; const char* note = ""; bool closes = false; };
    const Row rows[] = {
        {QByteArray::fromHex("00002000"), {}, {}, "unknown code"},
        {QByteArray::fromHex("0000"), {}, {}, "short: 2 bytes"},
        {QByteArray::fromHex("00000004"), {}, {}, "short: 4 bytes"},  // VERSION_CMD without its parameter
        {zingRequest(0x04) + "junk", {}, version, "oversized: 4 extra bytes ignored"},
        {QByteArray(70000, 'x'), {}, {}, "unknown code"},
        {zingRequest(0x0D), {{0x0D, ZingFault::noAnswer()}}, {}},  // a reset left unanswered is not acted on either
        {zingRequest(0x325), {{0x325, ZingFault::withStatus(7)}}, be32(0x1325) + be32(4) + be32(7)},
        {zingRequest(0x92), {{0x92, ZingFault::truncated(6)}}, QByteArray::fromHex("000010920000")},
        {zingRequest(0x33), {{0x33, ZingFault::rawBytes("\x01\x02\x03")}}, "\x01\x02\x03"},
        {zingRequest(0x32), {{0x32, ZingFault::close()}}, {}, "", true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.request.left(8).toHex().toStdString());
        sim_->clearRecords();
        sim_->updateFaults([&](qsim::Faults& f) { f.zingByCode = row.faults; });
        Client c;
        ASSERT_TRUE(c.connect(kApp, sim_->zingPort()));
        c.send(row.request);
        EXPECT_EQ(c.read(row.expected.isEmpty() ? 400 : 2000), row.expected);
        EXPECT_EQ(c.closedWithin(200), row.closes);
        ASSERT_TRUE(sim_->waitForRecords([](const QList<qsim::Record>& l) { return !l.isEmpty(); }, 2000));
        EXPECT_EQ(sim_->records().first().note, QLatin1String(row.note));
        EXPECT_EQ(sim_->resetCount(), 0);
        // The connection still serves a proper request; other codes are not touched.
        c.send(zingRequest(0x04));
        EXPECT_EQ(c.read(), row.closes ? QByteArray() : version);
        EXPECT_EQ(zing(zingRequest(0x13)), be32(0x1013) + be32(4) + be32(0));
    }
}

TEST_F(SimZing, ServiceFaults)
{
    using Mode = qsim::ServiceMode;
    const quint16 ports[] = {sim_->zingPort(), sim_->ftpPort(), sim_->telnetPort()};
    for (int service = 0; service < 3; ++service) {
        for (const Mode mode : {Mode::Refuse, Mode::Silent, Mode::Late}) {
            SCOPED_TRACE(service * 10 + int(mode));
            qsim::Faults f;
            // Late: 300 ms at the test's time scale.
            (service == 0 ? f.zing : service == 1 ? f.ftp : f.telnet) = {mode, 30000};
            sim_->setFaults(f);
            Client c;
            const bool connected = c.connect(kApp, ports[service]);
            EXPECT_EQ(c.error(), mode == Mode::Refuse ? ECONNREFUSED : 0);
            if (!connected)
                continue;
            if (service == 0)
                c.send(zingRequest(0x04));
            QElapsedTimer t;
            t.start();
            EXPECT_EQ(c.read(mode == Mode::Silent ? 500 : 2000).isEmpty(), mode == Mode::Silent);
            EXPECT_TRUE(mode != Mode::Late || t.elapsed() >= 280) << t.elapsed();
        }
    }
}

TEST_F(SimZing, AntennaUpgradeConfirmsThenRestarts)
{
    // With the antenna image on the flash or not, the model's status, the one sent, restarts.
    const std::tuple<bool, int, qint32, bool> rows[] = {{true, 0, 0, true}, {true, 2, 2, true}, {true, 5, 5, false}, {false, 0, 3, false}};
    for (const auto& [putImage, modelStatus, status, restarts] : rows) {
        SCOPED_TRACE(status);
        sim_->flash().remove(QStringLiteral("/tffs0/atb.sxm"));
        ASSERT_TRUE(!putImage || curl({QStringLiteral("-T"), QStringLiteral("-"), ftpUrl(QStringLiteral("/tffs0/atb.sxm"))}).exitCode == 0);
        sim_->updateModel([&, s = modelStatus](qsim::Model& m) { m.antennaUpgradeStatus = s; m.atbAfterUpgrade = QStringLiteral("1.9"); });
        const int resets = sim_->resetCount();
        const QByteArray r = zing(zingRequest(0x90));
        ASSERT_EQ(r.size(), 272);
        EXPECT_EQ(be32At(r, 0), 0x1090);
        EXPECT_EQ(be32At(r, 8), status);
        EXPECT_EQ(be32At(r, 12), textAt(r, 16).size());
        EXPECT_GT(be32At(r, 12), 0);
        EXPECT_EQ(sim_->waitForBootAfterReset(resets, restarts ? 2000 : 300), restarts);
        EXPECT_TRUE(!restarts || textAt(zing(zingRequest(0x91)), 16).contains("ATB: 1.9\r\n"));
    }
}
