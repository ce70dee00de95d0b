#include "app/CliStation.h"

#include "app/CliCauses.h"
#include "app/frmMain.h"
#include "log/LogFormat.h"
#include "platform/Files.h"
#include "platform/Settings.h"
#include "platform/TcpClient.h"
#include "zing/ZingMessage.h"

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLockFile>
#include <QTimer>

#include <fcntl.h>
#include <unistd.h>

namespace cli {

namespace {

// Terminal milliseconds, scaled as every wait of the program is.
constexpr int kPollEveryMs = 3000;
constexpr int kAnswerWithinMs = 3000;
// Unanswered polls in a row that mean the terminal was disconnected, not one answer lost.
constexpr int kMissesWhenGone = 2;

const QString kDefaultReport = QStringLiteral("station-report.csv");

struct Item {
    const char* name;  // as the run reports it
    bool Options::*asked;
};
constexpr Item kItems[] = {{"software", &Options::software}, {"antenna", &Options::antenna}, {"PIC", &Options::pic}};

QStringList header()
{
    QStringList h{QStringLiteral("time"), QStringLiteral("serial"), QStringLiteral("address"),
                  QStringLiteral("antenna class")};
    for (const Item& i : kItems)
        h << QLatin1String(i.name) + QStringLiteral(" before") << QLatin1String(i.name) + QStringLiteral(" after")
          << QLatin1String(i.name);
    return h << QStringLiteral("outcome") << QStringLiteral("code") << QStringLiteral("reason")
             << QStringLiteral("seconds") << QStringLiteral("log");
}

QString csvLine(const QStringList& fields)
{
    QStringList cells;
    for (const QString& f : fields)
        cells << csvField(f);
    return cells.join(QLatin1Char(',')) + QLatin1Char('\n');
}

// The report: only ever appended to, each line on the disk before the next
// terminal, so a crash or a power cut loses at most the line being written.
class ReportFile {
public:
    // An error text; empty once the file is ready.
    QString open(const QString& path)
    {
        // A line cut short by a crash stays alone on its line.
        QByteArray start;
        if (QFile old(path); old.open(QIODevice::ReadOnly) && old.size() > 0 && old.seek(old.size() - 1) &&
                             old.read(1) != "\n")
            start = "\n";
        file_.setFileName(path);
        const bool created = !file_.exists();
        if (!file_.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered))
            return path + QStringLiteral(": ") + file_.errorString();
        if (file_.size() == 0)
            start = csvLine(header()).toUtf8();
        if (const QString why = append(start); !why.isEmpty())
            return why;
        // The new file's name must survive a power cut too.
        if (created) {
            const int dir = ::open(QFile::encodeName(QFileInfo(path).absolutePath()).constData(), O_RDONLY | O_CLOEXEC);
            if (dir >= 0) {
                ::fsync(dir);
                ::close(dir);
            }
        }
        return {};
    }

    QString append(const QByteArray& bytes)
    {
        if (bytes.isEmpty())
            return {};
        if (file_.write(bytes) != bytes.size() || !file_.flush() || ::fsync(file_.handle()) != 0)
            return file_.fileName() + QStringLiteral(": ") + file_.errorString();
        return {};
    }

private:
    QFile file_;
};

QString antennaText(const QJsonObject& antenna)
{
    return QStringLiteral("ATB ") + antenna[QStringLiteral("atb")].toString() + QStringLiteral(", HPA ") +
           antenna[QStringLiteral("hpa")].toString();
}

class Station {
public:
    Station(const Options& o, const Output& out) : o_(o), output_(out)
    {
        address_ = o.address.isEmpty() ? Settings::get().defaultTerminalIp : o.address;
        reportPath_ = QFileInfo(o.reportFile.isEmpty() ? kDefaultReport : o.reportFile).absoluteFilePath();
        setIdleInterrupt([this](int) { stop(); });
    }
    ~Station() { setIdleInterrupt(nullptr); }

    int run()
    {
        bool otherHolds = false;
        lock_ = frmMain::lockCurrentFolder(&otherHolds);
        if (otherHolds)
            return refuse(QStringLiteral("locked"), QStringLiteral("Another upgrader is already running in ") +
                                                        Files::currentDirWithSeparator());
        // Known before any terminal is plugged in; each run looks at the package again.
        const QString home = Files::currentDirWithSeparator();
        if (const qsizetype packages = Files::find(home, QStringLiteral("*qorax_*.bin")).size(); packages != 1)
            return refuse(packages == 0 ? QStringLiteral("no-package") : QStringLiteral("two-packages"),
                          QStringLiteral("%1 qorax_*.bin in ").arg(packages) + home);
        if (const QString why = report_.open(reportPath_); !why.isEmpty())
            return refuse(QStringLiteral("local-file"), QStringLiteral("the report cannot be written: ") + why);
        output_.out(QStringLiteral("station: report ") + reportPath_ +
                    QStringLiteral("; Ctrl+C between terminals ends the run"));

        int status = Success;
        while (o_.count == 0 || seen_ < o_.count) {
            output_.out(QStringLiteral("waiting for a terminal at ") + address_);
            if (!waitFor(true))
                break;
            status = upgradeOne();
            // Stopped during the terminal's work, the folder unusable for any
            // terminal, or the report no longer written: no next terminal.
            if (status >= 128 || status == NothingSent || !reportProblem_.isEmpty())
                break;
            if ((o_.count == 0 || seen_ < o_.count) && !waitFor(false))
                break;
        }
        if (stopped_)
            output_.out(QStringLiteral("station: stopped between terminals"));
        if (!reportProblem_.isEmpty())
            output_.err(QStringLiteral("qora-upgrader-cli: ") + reportProblem_);
        if (status < 128 && status != NothingSent)
            status = failed_ > 0 || !reportProblem_.isEmpty() ? Failure : Success;
        output_.out(QStringLiteral("station: %1 %2: %3 upgraded, %4 already current, %5 failed; report: ")
                        .arg(seen_)
                        .arg(seen_ == 1 ? QStringLiteral("terminal") : QStringLiteral("terminals"))
                        .arg(upgraded_)
                        .arg(current_)
                        .arg(failed_) +
                    reportPath_);
        if (o_.json)
            printJson(QJsonObject{{QStringLiteral("kind"), QStringLiteral("summary")},
                                  {QStringLiteral("terminals"), seen_},
                                  {QStringLiteral("upgraded"), upgraded_},
                                  {QStringLiteral("alreadyCurrent"), current_},
                                  {QStringLiteral("failed"), failed_},
                                  {QStringLiteral("report"), reportPath_},
                                  {QStringLiteral("exitCode"), status}});
        return status;
    }

private:
    void stop() { stopped_ = true; }

    int refuse(const QString& code, const QString& reason)
    {
        output_.err(QStringLiteral("outcome: failure (") + code + QStringLiteral(": ") + reason +
                    QStringLiteral("); what to do: ") + QLatin1String(failureCode(code).advice));
        if (o_.json)
            output_.out(refusalReport(code, reason));
        return failureCode(code).exitStatus;
    }

    void printJson(const QJsonObject& o) { output_.out(jsonLine(o)); }

    // Serves events for up to ms, or until stopped or woken; false when stopped.
    // No nested event loop: one quit of the application would end them all.
    bool serve(int ms)
    {
        QTimer limit;
        limit.setSingleShot(true);
        limit.start(std::max(ms, 0));
        woken_ = false;
        while (!stopped_ && !woken_ && limit.isActive())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        return !stopped_;
    }

    // One version request, as the upgrader sends it; quiet whatever happens.
    bool answers()
    {
        TcpClient socket(QStringLiteral("sckStation"));
        socket.remoteHost = address_;
        socket.remotePort = Settings::get().zingPort;
        bool answered = false;
        bool over = false;
        QByteArray code;
        const auto end = [&] {
            over = true;
            woken_ = true;
        };
        socket.onConnect = [&] { socket.sendData(zing::requestWithLong(zing::VERSION_CMD, 1)); };
        socket.onDataArrival = [&](const QByteArray& bytes) {
            // The response's code is all a poll needs.
            code += bytes.left(4 - code.size());
            if (code.size() < 4)
                return;
            answered = zing::Util_BytesToLong(code, zing::kCodeOffset) == zing::VERSION_RESPONSE;
            end();
        };
        socket.onClose = end;
        socket.onError = [&](int, const QString&) { end(); };
        socket.onGuardLog = [this](const QString& line) {
            if (!guardSaid_)
                output_.err(QStringLiteral("qora-upgrader-cli: ") + line);
            guardSaid_ = true;
        };
        socket.connectToHost();
        if (!over)
            serve(Settings::scaled(kAnswerWithinMs));
        socket.close();
        return answered;
    }

    // Until a terminal answers (present) or has stopped answering; false when stopped.
    bool waitFor(bool present)
    {
        int misses = 0;
        for (;;) {
            QElapsedTimer poll;
            poll.start();
            const bool answered = answers();
            if (stopped_)
                return false;
            misses = answered ? 0 : misses + 1;
            if (present ? answered : misses >= kMissesWhenGone)
                return true;
            if (!serve(Settings::scaled(kPollEveryMs) - static_cast<int>(poll.elapsed())))
                return false;
        }
    }

    int upgradeOne()
    {
        const QDateTime found = QDateTime::currentDateTime();
        ++seen_;
        Options one = o_;
        one.action = Action::Upgrade;
        one.json = false;
        Batch batch;
        batch.folderLock = lock_;
        QJsonObject terminal;
        batch.identified = [&](const QJsonObject& t) {
            terminal = t;
            const QJsonObject a = t[QStringLiteral("antenna")].toObject();
            output_.out(QStringLiteral("terminal %1: serial ").arg(seen_) + serialOf(t) + QStringLiteral(", software ") +
                        t[QStringLiteral("software")].toString() +
                        (t[QStringLiteral("bootRom")].toBool() ? QStringLiteral(" (Boot ROM)") : QString()) +
                        QStringLiteral(", antenna ") + antennaText(a) + QStringLiteral(", ") +
                        a[QStringLiteral("class")].toString() + QStringLiteral(", PIC ") +
                        t[QStringLiteral("pic")].toString());
        };
        const int status = cli::run(one, output_, &batch);
        const QJsonObject& report = batch.report;

        const QString serial = serialOf(terminal);
        const QJsonObject antenna = terminal[QStringLiteral("antenna")].toObject();
        const QString before[] = {terminal[QStringLiteral("software")].toString(), antennaText(antenna),
                                  terminal[QStringLiteral("pic")].toString()};
        QStringList fields{found.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")), serial, address_,
                           antenna[QStringLiteral("class")].toString()};
        bool installed = false;
        const QJsonArray items = report[QStringLiteral("items")].toArray();
        for (qsizetype i = 0; i < std::ssize(kItems); ++i) {
            const auto it = std::find_if(items.begin(), items.end(), [&](const QJsonValue& v) {
                return v[QStringLiteral("item")].toString() == QLatin1String(kItems[i].name);
            });
            const QJsonObject item = it == items.end() ? QJsonObject() : it->toObject();
            const QString skipped = item[QStringLiteral("skipped")].toString();
            installed = installed || (!item.isEmpty() && skipped.isEmpty());
            const QString result = !(o_.*kItems[i].asked)               ? QStringLiteral("not asked")
                                   : item.isEmpty()                      ? QStringLiteral("not run")
                                   : !skipped.isEmpty()                  ? QStringLiteral("skipped: ") + skipped
                                   : item[QStringLiteral("took")].toBool() ? QStringLiteral("took")
                                                                         : QStringLiteral("did not take");
            const QString after = item.isEmpty() ? QString() : !skipped.isEmpty() ? before[i] : item[QStringLiteral("after")].toString();
            fields << before[i] << after << result;
        }
        const QString runOutcome = report[QStringLiteral("outcome")].toString();
        const QString outcome = runOutcome == QLatin1String("success") ? (installed ? QStringLiteral("upgraded")
                                                                                    : QStringLiteral("already current"))
                                : runOutcome == QLatin1String("interrupted") ? runOutcome
                                                                             : QStringLiteral("failed");
        const QString code = report[QStringLiteral("code")].toString();
        const QString reason = report[QStringLiteral("reason")].toString();
        fields << outcome << code << reason
               << QString::number(report[QStringLiteral("durationMs")].toInteger() / 1000.0, 'f', 1)
               << report[QStringLiteral("log")].toString();
        const QString line = csvLine(fields);
        if (const QString why = report_.append(line.toUtf8()); !why.isEmpty())
            reportProblem_ = QStringLiteral("the report cannot be written (") + why +
                             QStringLiteral("); the record of terminal ") + serial + QStringLiteral(": ") + line.trimmed();
        if (o_.json) {
            QJsonObject record = report;
            record.insert(QStringLiteral("kind"), QStringLiteral("terminal"));
            record.insert(QStringLiteral("time"), fields.at(0));
            record.insert(QStringLiteral("serial"), serial);
            record.insert(QStringLiteral("address"), address_);
            record.insert(QStringLiteral("terminal"), terminal);
            record.insert(QStringLiteral("result"), outcome);
            printJson(record);
        }

        if (outcome == QLatin1String("upgraded"))
            ++upgraded_;
        else if (outcome == QLatin1String("already current"))
            ++current_;
        else
            ++failed_;
        if (outcome == QLatin1String("interrupted"))
            return status;
        if (outcome == QLatin1String("failed"))
            output_.out(QStringLiteral("failed: terminal ") + serial + QStringLiteral(": ") + code + QStringLiteral(": ") +
                        reason + QStringLiteral("; disconnect this terminal; connect it again to try it once more"));
        else
            output_.out(QStringLiteral("done: disconnect this terminal (") + serial + QStringLiteral(", ") + outcome +
                        QLatin1Char(')'));
        return status;
    }

    static QString serialOf(const QJsonObject& terminal)
    {
        const QString asn = terminal[QStringLiteral("antenna")][QStringLiteral("serial")].toString();
        return asn.isEmpty() ? QStringLiteral("unknown") : asn;
    }

    Options o_;
    Output output_;
    QString address_;
    QString reportPath_;
    std::shared_ptr<QLockFile> lock_;
    ReportFile report_;
    QString reportProblem_;
    bool woken_ = false;
    bool stopped_ = false;
    bool guardSaid_ = false;
    int seen_ = 0;
    int upgraded_ = 0;
    int current_ = 0;
    int failed_ = 0;
};

}  // namespace

QString csvField(const QString& text)
{
    QString f;
    for (const QChar c : text) {
        const bool control = c.category() == QChar::Other_Control || c == QChar::LineSeparator ||
                             c == QChar::ParagraphSeparator;
        f += control ? qlog::printableText(QString(c)) : QString(c);
    }
    // A spreadsheet runs such a cell as a formula; the terminal's texts must stay texts.
    if (!f.isEmpty() && QStringLiteral("=+-@").contains(f.front()))
        f.prepend(QLatin1Char('\''));
    if (f.contains(QLatin1Char(',')) || f.contains(QLatin1Char('"')) || f.startsWith(QLatin1Char(' ')) ||
        f.endsWith(QLatin1Char(' ')))
        f = QLatin1Char('"') + f.replace(QLatin1Char('"'), QStringLiteral("\"\"")) + QLatin1Char('"');
    return f;
}

int runStation(const Options& options, const Output& output)
{
    Station s(options, output);
    return s.run();
}

}  // namespace cli
