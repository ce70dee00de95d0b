// Bad input from the terminal: ZING answers cut short, empty, garbled or with
// absurd length fields; name listings with blank, long or odd names; image
// descriptors that are empty, binary or lead out of the folder. Whatever
// comes, the upgrader ends its operation in its own time and says so, the
// terminal keeps a whole executable, and no file outside the home folder's
// Backup, logs and image.txt changes.
#include "ReliabilitySupport.h"

#include "TerminalTexts.h"
#include "ZingMessages.h"
#include "support/TableRows.h"

#include <QAction>
#include <QDateTime>

#include <iostream>

namespace {

using namespace reliability;
using tablerows::PrintTo;
namespace wire = qsim::zing;

// Bytes that look like nothing: a fixed pseudo-random run, high bytes and NULs included.
QByteArray garbage(int n, quint32 seed = 12345)
{
    QByteArray out(n, '\0');
    for (char& c : out) {
        seed = seed * 1103515245u + 12345u;
        c = char(seed >> 23);
    }
    return out;
}

// Every file and folder below a folder: size and modification time.
using Snapshot = QMap<QString, QPair<qint64, qint64>>;

Snapshot snapshot(const QString& root)
{
    Snapshot s;
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        const QFileInfo f = it.fileInfo();
        s.insert(f.filePath().mid(root.size()),
                 {f.isDir() ? -1 : f.size(), f.isDir() ? 0 : f.lastModified().toMSecsSinceEpoch()});
    }
    return s;
}

// Only the home folder's Backup, logs and image.txt may change.
void expectNothingElseChanged(const Snapshot& before, const Snapshot& after)
{
    static const QRegularExpression allowed(QStringLiteral("^home/(Backup|logs)(/|$)|^home/image\\.txt$"));
    QStringList paths = before.keys() + after.keys();
    paths.removeDuplicates();
    for (const QString& p : paths) {
        if (allowed.match(p).hasMatch())
            continue;
        EXPECT_TRUE(before.contains(p)) << "created: " << p.toStdString();
        EXPECT_TRUE(after.contains(p)) << "removed: " << p.toStdString();
        if (before.contains(p) && after.contains(p)) {
            EXPECT_EQ(before.value(p), after.value(p)) << "changed: " << p.toStdString();
        }
    }
}

// Files a name from the terminal might lead to, beside and above the home folder.
void plantDecoys(Bench& b)
{
    const QString parent = b.home.parentPath();
    b.ownFiles << QStringLiteral("keep/qorax_5_7_1_12.bin") << QStringLiteral("notes.txt");
    for (const QString& rel : {QStringLiteral("victim.bin"), QStringLiteral("etc/passwd"),
                               QStringLiteral("Backup/qorax_5_7_1_12.bin"), QStringLiteral("tffs0/bin/qorax_5_7_1_12.bin"),
                               QStringLiteral("home/keep/qorax_5_7_1_12.bin"), QStringLiteral("home/notes.txt")}) {
        QDir().mkpath(QFileInfo(parent + rel).absolutePath());
        QFile f(parent + rel);
        if (f.open(QIODevice::WriteOnly))
            f.write("decoy " + rel.toLatin1());
    }
}

// How a run ended, as the user saw it.
struct RunEnd {
    QString line;          // for the figures
    bool ended = false;    // the program ended
    bool boxShown = false; // a box after the run began
    QString shownVersion;  // what the window shows as the terminal's version
};

// The checks after every run: settled in time and told the user, a complete
// log, a whole executable after a power cycle, whole files only, nothing else
// touched.
RunEnd finishRun(Bench& b, HangGuard& guard, const Snapshot& before, int boxesBefore)
{
    RunEnd end;
    const bool ok = guard.waitSettled();
    EXPECT_TRUE(ok);
    if (!ok || !b.u)
        return end;
    end.line = expectTold(b, boxesBefore);
    end.ended = b.w().isUnloaded();
    end.boxShown = b.u->dialogs.boxes().size() > boxesBefore;
    end.shownVersion = b.w().txtCurrentSoftwareVersion->text();
    b.u.reset();
    expectCompleteLogs(b.home);
    powerCycle(b);
    end.line += QStringLiteral("; runs ") + expectWholeExecutableRuns(b);
    expectOnlyWholeFiles(b);
    expectNothingElseChanged(before, snapshot(b.home.parentPath()));
    return end;
}

// ---- ZING answers ------------------------------------------------------------

enum class When {
    StartUp,      // the fault is there before the upgrader starts
    Preparation,  // set once the upgrader knows the terminal, then Upgrade is pressed
    AfterReset,   // the same; the request is only made again after the reset
    Tools,        // Tools > Restore Factory Defaults
};

// A request the upgrader makes, and when.
struct ZingTarget {
    std::string name;
    quint32 code;
    When when;
    const char* version;  // what the terminal runs when it answers
    quint32 other;        // a request whose answer comes instead
};

QByteArray normalAnswer(quint32 code, const QString& dottedVersion)
{
    const qsim::Model m;
    switch (code) {
    case wire::kVersion:
        return wire::versionResponse(qsim::versionText(m, false, dottedVersion));
    case wire::kReleaseInfo: {
        const QByteArray text = qsim::releaseInfoText(m).toLatin1();
        return wire::fieldResponse(code + wire::kResponse, qint32(text.size()), qint32(text.size()), text);
    }
    default:
        return wire::plainResponse(code + wire::kResponse);
    }
}

QByteArray withField(QByteArray bytes, int offset, qint32 value)
{
    if (bytes.size() < offset + 4)
        bytes.append(QByteArray(offset + 4 - bytes.size(), '\0'));
    bytes.replace(offset, 4, wire::be32(value));
    return bytes;
}

// The bad answers to one request: every request gets the same cuts, garbage,
// length field, foreign answer and closed connection.
QList<QPair<const char*, qsim::ZingFault>> badAnswers(const ZingTarget& t)
{
    using F = qsim::ZingFault;
    const QByteArray normal = normalAnswer(t.code, QString::fromLatin1(t.version));
    const qint32 response = qint32(t.code + wire::kResponse);
    QList<QPair<const char*, F>> out = {
        {"empty", F::truncated(0)},
        {"2 bytes", F::truncated(2)},
        {"6 bytes", F::truncated(6)},
        {"10 bytes", F::truncated(10)},
        {"garbage", F::rawBytes(garbage(300))},
        {"its code then garbage", F::rawBytes(wire::be32(response) + garbage(300, 777))},
        {"huge message length", F::rawBytes(withField(normal, 4, 0x7FFFFFFF))},
        {"another request's answer", F::rawBytes(normalAnswer(t.other, QString::fromLatin1(t.version)))},
        {"connection closed", F::close()},
    };
    // Where the answer is read beyond its code, more of the same kind.
    const bool startUp = t.when == When::StartUp;
    if (startUp) {
        out.append({"negative message length", F::rawBytes(withField(normal, 4, qint32(0x80000000)))});
        out.append({"two answers in one", F::rawBytes(normal + normal)});
    }
    if (t.code == wire::kVersion && startUp) {
        out.append({"64 KiB text without NUL", F::rawBytes(wire::be32(response) + wire::be32(65536) + QByteArray(65536, '7'))});
        out.append({"control bytes in the text",
                    F::rawBytes(wire::be32(response) + wire::be32(64) +
                                "AppSW: \x01\x1b[2J5.7\t.1.12\x7f, 06/15/2012 AppCompatLevel: 2\r\n" + garbage(20))});
    } else if (t.code == wire::kReleaseInfo) {
        out.append({"length most negative", F::withStatus(qint32(0x80000000))});
        if (startUp) {
            out.append({"length most positive", F::withStatus(0x7FFFFFFF)});
            out.append({"text length most positive", F::rawBytes(withField(normal, 12, 0x7FFFFFFF))});
            out.append({"text without NUL, cut short", F::rawBytes(withField(normal, 8, 4000).left(16 + 100))});
        }
    } else if (t.code != wire::kVersion) {
        out.append({"status most negative", F::withStatus(qint32(0x80000000))});
    }
    return out;
}

// One bad answer to one request, and everything that must hold after it.
void runBadAnswer(const ZingTarget& t, const qsim::ZingFault& fault, QString* outcome)
{
    Bench b;
    plantDecoys(b);
    const Snapshot before = snapshot(b.home.parentPath());
    auto arm = [&] { b.sim->updateFaults([&](qsim::Faults& f) { f.zingByCode.insert(t.code, fault); }); };

    if (t.when == When::StartUp) {
        arm();
        b.u = std::make_unique<Upgrader>();
        HangGuard guard(b.w(), kRunLimitMs);
        ASSERT_TRUE(b.u->load());
        ASSERT_TRUE(guard.waitSettled());
        *outcome = expectTold(b, 0) + QStringLiteral("; asked again: ");
        // Asking again, once the terminal answers properly, works.
        const int boxes = int(b.u->dialogs.boxes().size());
        b.sim->clearFaults();
        HangGuard again(b.w(), kRunLimitMs);
        b.w().cmdGetSoftwareVersion->trigger();
        EXPECT_TRUE(waitUntil([&] { return b.w().statusText() == kReleaseInfoDone && settled(b.w()); }, kRunLimitMs))
            << "the upgrader cannot ask again: " << b.w().statusText().toStdString();
        *outcome += finishRun(b, again, before, boxes).line;
        return;
    }
    ASSERT_TRUE(b.startUpgrader());
    arm();
    HangGuard guard(b.w(), kRunLimitMs);
    if (t.when == When::Tools)
        b.pressMenu(b.w().cmdRestoreDefaults);
    else
        b.upgradeSoftware();
    const RunEnd end = finishRun(b, guard, before, 1);
    *outcome = end.line;
    const bool installed = b.sim->runningVersion() == "5.7.2.0";
    if (t.when == When::Preparation) {
        // Installed and shown, or the user was told why not.
        EXPECT_TRUE((installed && end.shownVersion == "5.7.2.0") || end.boxShown || end.ended)
            << "the upgrade stopped without a word";
    } else if (t.when == When::AfterReset) {
        // Whatever comes after the reset cannot undo the upgrade.
        EXPECT_TRUE(installed);
    } else {
        // Restoring the factory defaults never installs software.
        EXPECT_FALSE(installed) << "software installed by a factory-defaults command";
    }
}

const ZingTarget kTargets[] = {
    {"version at start-up", wire::kVersion, When::StartUp, "5.7.1.12", wire::kReleaseInfo},
    {"release info at start-up", wire::kReleaseInfo, When::StartUp, "5.7.1.12", wire::kVersion},
    {"chkdsk", wire::kChkdsk, When::Preparation, "5.7.1.12", wire::kHaltStack},
    {"halt stack", wire::kHaltStack, When::Preparation, "5.7.1.12", wire::kChkdsk},
    {"version after the reset", wire::kVersion, When::AfterReset, "5.7.2.0", wire::kReleaseInfo},
    {"release info after the reset", wire::kReleaseInfo, When::AfterReset, "5.7.2.0", wire::kVersion},
    {"factory defaults", wire::kFactoryDefaults, When::Tools, "5.7.1.12", wire::kChkdsk},
};

class ReliabilityZing : public ::testing::TestWithParam<ZingTarget> {};

TEST_P(ReliabilityZing, EveryBadAnswerEndsInTimeAndLeavesTheTerminalWhole)
{
    for (const auto& [shape, fault] : badAnswers(GetParam())) {
        SCOPED_TRACE(shape);
        QString outcome;
        runBadAnswer(GetParam(), fault, &outcome);
        std::cout << "[ bad answer ] " << GetParam().name << ", " << shape << " | " << outcome.toStdString() << "\n";
    }
}

INSTANTIATE_TEST_SUITE_P(Requests, ReliabilityZing, ::testing::ValuesIn(kTargets), tablerows::RowName());

// ---- names from the terminal: the listing and the image descriptor ----------

// Everything the upgrader asked the terminal to delete is one plain file
// name, byte for byte as the listing it was given has it.
void expectPlainDeletions(Bench& b, const QByteArray& listing)
{
    const QByteArray listed = QByteArray(listing).replace('\r', ' ').replace('\n', ' ');
    static const QRegularExpression odd(QStringLiteral("[\\x00-\\x1f\"/\\\\]|^\\.\\.?$"));
    for (const qsim::Record& r : b.sim->records(qsim::Service::Ftp)) {
        if (r.command != QLatin1String("DELE"))
            continue;
        EXPECT_FALSE(odd.match(r.argument).hasMatch()) << "deleted a path: " << r.argument.toStdString();
        if (!listing.isNull()) {
            EXPECT_TRUE(listed.contains(r.raw.mid(5))) << "deleted an unlisted name: " << r.argument.toStdString();
        }
    }
}

struct NamesRow {
    std::string name;
    QByteArray listing;     // NLST answers this; null: the folder as it is
    QByteArray descriptor;  // the terminal's image.txt; null: as it is
};

std::vector<NamesRow> namesRows()
{
    QByteArray thousands;
    for (int i = 0; i < 5000; ++i)
        thousands += "file_" + QByteArray::number(i) + ".txt\r\n";
    thousands += "qorax.bin\r\nqorax_5_7_1.bin\r\nqorax_5_7_1_12.bin\r\n";
    for (int i = 0; i < 20; ++i)
        thousands += "qorax_9_9_" + QByteArray::number(i) + ".bin\r\n";
    const QByteArray real = "qorax.bin\r\nqorax_5_7_1.bin\r\nqorax_5_7_1_12.bin\r\n";
    const QByteArray none;
    return {
        {"listing: blank lines only", "\r\n \r\n\t\r\n\r\n", none},
        {"listing: nothing at all", "", none},
        {"listing: a 5000-character name", "qorax_" + QByteArray(4990, 'x') + ".bin\r\n" + real, none},
        {"listing: names with blanks", "qorax 5 7 1.bin\r\n qorax_5_7_1.bin\r\nqorax_5_7_1_12.bin \r\nqorax .bin\r\n", none},
        {"listing: quotes", "\"qorax_5_7_1.bin\"\r\nqorax_\"x\".bin\r\n'qorax.bin'\r\n" + real, none},
        {"listing: dot-dot and slashes",
         "../qorax_5_7_1.bin\r\n..\\qorax.bin\r\n/tffs0/bin/qorax_9.bin\r\nqorax_..bin\r\n../../../etc/qorax.bin\r\n"
         "bin/qorax_1.bin\r\n..\r\n.\r\n" + real,
         none},
        {"listing: control characters",
         QByteArray("qorax_\x01\x02.bin\r\nqorax_\x1b[2J.bin\r\nqorax\x00_5.bin\r\nqorax_5_7_1.bin\x7f\r\n", 60) + real, none},
        {"listing: bare LF and CR line ends", "qorax.bin\nqorax_5_7_1.bin\rqorax_5_7_1_12.bin\n", none},
        {"listing: high bytes and garbage", "qorax_\xe9\xff.bin\r\n" + garbage(4096, 99) + "\r\n" + real, none},
        {"listing: thousands of entries", thousands, none},
        {"listing: the running executable in odd spellings",
         "QORAX_5_7_1_12.BIN\r\nqorax_5_7_1_12.bin.bak\r\nold_qorax_5_7_1_12.bin\r\nqorax_5_7_1_12.bin\r\n", none},
        {"descriptor: empty", QByteArray(), ""},
        {"descriptor: binary", QByteArray(), garbage(512, 4242)},
        {"descriptor: dot-dot out of the folder", QByteArray(), "/bin/../../../../victim.bin"},
        {"descriptor: dot-dot in the file name", QByteArray(), "/bin/qorax_../../../../home/notes.bin"},
        {"descriptor: backslashes", QByteArray(), "/bin/..\\..\\..\\Backup\\qorax_5_7_1_12.bin"},
        {"descriptor: into the backup folder", QByteArray(), "/bin/../Backup/qorax_5_7_1_12.bin"},
        {"descriptor: split over two lines", QByteArray(), "/bin/\nqorax_5_7_1_12.bin\n"},
        {"descriptor: control characters", QByteArray(), "/bin/qorax_5_7_1_12.bin\r\n\x1b[2J\x07"},
        {"descriptor: NUL inside", QByteArray(), QByteArray("/bin/qorax_5_7_1_12.bin\0/../../x.bin", 36)},
        {"descriptor: quotes and blanks", QByteArray(), "/bin/qorax \"5\" *.bin"},
        {"descriptor: 100 KB", QByteArray(), "/bin/" + QByteArray(100000, 'a') + ".bin"},
    };
}

class ReliabilityNames : public ::testing::Test {};

TEST_F(ReliabilityNames, OddNamesFromTheTerminalStayInsideTheirFolders)
{
    for (const NamesRow& row : namesRows()) {
        SCOPED_TRACE(row.name);
        Bench b;
        plantDecoys(b);
        const Snapshot before = snapshot(b.home.parentPath());
        ASSERT_TRUE(b.startUpgrader());
        if (!row.listing.isNull())
            b.sim->updateFaults([&](qsim::Faults& f) { f.ftpNameListing = row.listing; });
        if (!row.descriptor.isNull())
            b.sim.terminal().flash().write(QStringLiteral("/tffs0/image.txt"), row.descriptor);
        HangGuard guard(b.w(), kRunLimitMs);
        b.upgradeSoftware();
        const RunEnd end = finishRun(b, guard, before, 1);
        // The listing and the descriptor only decide what is cleaned up and
        // backed up: the upgrade itself goes through.
        EXPECT_EQ(b.sim->runningVersion(), "5.7.2.0");
        EXPECT_EQ(end.shownVersion, "5.7.2.0");
        expectPlainDeletions(b, row.listing);
        std::cout << "[ bad names ] " << row.name << " | " << end.line.toStdString() << "\n";
    }
}

}  // namespace
