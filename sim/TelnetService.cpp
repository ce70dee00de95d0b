#include "TelnetService.h"

#include "Core.h"
#include "Outbox.h"
#include "TerminalTexts.h"

#include <QFileInfo>
#include <QDir>
#include <QRegularExpression>

namespace qsim {

namespace {

const QString kUser = QStringLiteral("qorauser");
const QString kPassword = QStringLiteral("skywardly");
constexpr int kMaxLine = 64 * 1024;
const QString kPrompt = QStringLiteral("-> ");
const QString kCrLf = QStringLiteral("\r\n");
// Endless output: this much per tick while the client keeps up, a few MB/s.
constexpr int kEndlessChunk = 16 * 1024;
constexpr int kEndlessTickMs = 5;

// "a;b;c" split at semicolons outside double quotes.
QStringList splitOutsideQuotes(const QString& text, QChar separator)
{
    QStringList parts;
    QString current;
    bool quoted = false;
    for (QChar c : text) {
        if (c == QLatin1Char('"'))
            quoted = !quoted;
        if (c == separator && !quoted) {
            parts << current;
            current.clear();
        } else {
            current += c;
        }
    }
    parts << current;
    return parts;
}

QString unquote(QString s)
{
    s = s.trimmed();
    if (s.size() >= 2 && s.startsWith(QLatin1Char('"')) && s.endsWith(QLatin1Char('"')))
        return s.mid(1, s.size() - 2);
    return s;
}

}  // namespace

// ---- the reflash ------------------------------------------------------------

// Runs on the terminal, not in the shell session: the upgrader closes the
// session right after starting it on most platforms. A restart or power-off
// of the terminal ends it.
class PicReflash : public QObject {
public:
    PicReflash(Core* core, TelnetSession* shell) : QObject(core), core_(core), shell_(shell)
    {
        connect(core_, &Core::goingDown, this, &QObject::deleteLater);
    }

    void start()
    {
        const Model m = core_->state()->model();
        platform_ = core_->platform();
        reporting_ = platformReportsReflash(platform_);
        const auto image = core_->flash().read(QStringLiteral("/tffs0/pic.s19"));
        haveImage_ = image && !image->isEmpty();
        carried_ = imageVersion(image.value_or(QByteArray())).value_or(QString());
        succeeds_ = haveImage_ && m.reflash != ReflashOutcome::Fail;
        promptsLeft_ = m.reflash == ReflashOutcome::RecoveryMode ? qMax(1, m.recoveryPrompts) : 0;
        core_->event(QStringLiteral("PIC reflash on platform %1 (%2)%3")
                         .arg(platformName(platform_))
                         .arg(platform_)
                         .arg(haveImage_ ? QString() : QStringLiteral(", no /tffs0/pic.s19")));
        if (!reporting_) {
            // These platforms print nothing but the return value and restart when done.
            last(succeeds_ ? shellValueOk() + kCrLf : shellValueFailed() + kCrLf);
            if (succeeds_)
                core_->later(m.reflashMs, [this] { finishQuietly(); });
            else
                deleteLater();
            return;
        }
        say(QStringLiteral("Reflashing PIC from /tffs0/pic.s19 ...\r\n"));
        core_->later(m.reflashMs / 2, [this] { middle(); });
    }

    void enterPressed()
    {
        if (!waitingForEnter_)
            return;
        waitingForEnter_ = false;
        --promptsLeft_;
        say(QStringLiteral("Continuing PIC reflash ...\r\n"));
        core_->later(core_->state()->model().reflashMs / 4, [this] { middle(); });
    }

private:
    void middle()
    {
        if (haveImage_ && promptsLeft_ > 0) {
            waitingForEnter_ = true;
            say(QStringLiteral("PIC entered Recovery Mode, press Enter to continue\r\n"));
            return;
        }
        core_->later(core_->state()->model().reflashMs / 2, [this] { finish(); });
    }

    void finish()
    {
        if (!succeeds_) {
            last(QStringLiteral("PIC Reflash FAIL (%1)\r\n").arg(haveImage_ ? QStringLiteral("verify mismatch")
                                                                             : QStringLiteral("no image"))
                 + shellValueFailed() + kCrLf);
            deleteLater();
            return;
        }
        updatePic();
        last(QStringLiteral("PIC Reflash Completed\r\n") + shellValueOk() + kCrLf);
        core_->later(500, [this] {
            if (platformPowersOffAfterReflash(platform_))
                core_->powerOff(QStringLiteral("after PIC reflash"));
            else
                core_->restart(QStringLiteral("after PIC reflash"));
        });
    }

    void finishQuietly()
    {
        updatePic();
        core_->restart(QStringLiteral("after PIC reflash"));
    }

    void updatePic()
    {
        // The PIC reports the version its image carries, unless the model names one.
        core_->state()->updateModel([this](Model& m) {
            const QString pic = m.picAfterReflash.isEmpty() ? carried_ : m.picAfterReflash;
            if (!pic.isEmpty())
                m.pic = pic;
        });
        core_->event(QStringLiteral("PIC reflash completed"));
    }

    void say(const QString& text)
    {
        if (shell_)
            shell_->reflashOutput(text);
    }

    // The final output: the shell takes commands again after it.
    void last(const QString& text)
    {
        if (shell_)
            shell_->reflashFinished(text);
    }

    Core* core_;
    QPointer<TelnetSession> shell_;
    int platform_ = 14;
    bool reporting_ = false;
    bool haveImage_ = false;
    QString carried_;  // the version tag of the image, read when the reflash started
    bool succeeds_ = false;
    int promptsLeft_ = 0;
    bool waitingForEnter_ = false;

    friend class TelnetSession;
};

// ---- the session ------------------------------------------------------------

TelnetSession::TelnetSession(QTcpSocket* socket, Core* core, int id)
    : QObject(core), core_(core), socket_(socket), out_(new Outbox(socket, core->state(), Service::Telnet, this)), id_(id)
{
    socket_->setParent(this);
    connect(socket_, &QTcpSocket::readyRead, this, &TelnetSession::onReadyRead);
    connect(socket_, &QTcpSocket::disconnected, this, [this] {
        core_->shellClosed(this);
        endless_.stop();
        deleteLater();
    });
    connect(core_, &Core::goingDown, this, &TelnetSession::goAway);
    connect(core_, &Core::linksCut, this, &TelnetSession::cutLink);
    connect(core_, &Core::shellsClosed, this, &TelnetSession::closeShell);
    endless_.setInterval(kEndlessTickMs);
    connect(&endless_, &QTimer::timeout, this, &TelnetSession::endlessMore);
    const Faults faults = core_->state()->faults();
    // A dead shell turns nobody away: it just never answers.
    if (!faults.telnetSilenced && (core_->telnetBusy() || faults.telnetSessionLimit)) {
        // The shell serves one client; others are told so and dropped.
        state_ = State::Refused;
        core_->event(QStringLiteral("telnet#%1 refused: session limit").arg(id_));
        out_->send("Sorry, session limit reached.\r\n");
        out_->closeWhenSent();
        return;
    }
    core_->shellOpened(this);
    greet();
}

TelnetSession::~TelnetSession()
{
    core_->shellClosed(this);
}

void TelnetSession::cutLink()
{
    core_->shellClosed(this);
    endless_.stop();
    out_->drop();
    if (socket_) {
        socket_->disconnect(this);
        resetConnection(socket_);
        socket_->deleteLater();
        socket_ = nullptr;
    }
    deleteLater();
}

void TelnetSession::goAway()
{
    core_->shellClosed(this);
    endless_.stop();
    out_->drop();
    if (socket_) {
        socket_->disconnect(this);
        core_->bury(socket_);
        socket_ = nullptr;
    }
    deleteLater();
}

// The terminal closes the shell itself, in order; the session goes once the
// socket reports it disconnected.
void TelnetSession::closeShell()
{
    if (!socket_ || state_ == State::Closed)
        return;
    core_->shellClosed(this);
    endless_.stop();
    pending_.clear();
    output_.clear();
    state_ = State::Closed;
    core_->event(QStringLiteral("telnet#%1 closed by the terminal").arg(id_));
    out_->drop();
    out_->closeWhenSent();  // nothing queued: the FIN goes now
}

bool TelnetSession::silenced() const
{
    return core_->state()->faults().telnetSilenced;
}

void TelnetSession::greet()
{
    const Model m = core_->state()->model();
    const ShellLogin login = core_->mode() == Mode::BootRom ? m.bootRomShellLogin : m.appShellLogin;
    // IAC WILL ECHO, IAC WILL SUPPRESS-GO-AHEAD: what a telnet server opens with.
    QByteArray bytes = QByteArray("\xff\xfb\x01\xff\xfb\x03", 6) + m.shellBanner;
    switch (login) {
    case ShellLogin::VxWorks: bytes += "\r\n\r\nVxWorks login: "; break;
    case ShellLogin::Bsp2A: bytes += "\r\n[BSP 2A] Terminal shell\r\n\r\nUsername: "; break;
    case ShellLogin::Bsp2C: bytes += "\r\n[BSP 2C] Terminal shell\r\n\r\nUsername: "; break;
    case ShellLogin::None:
        bytes += "\r\n-> ";
        state_ = State::Shell;
        break;
    }
    out_->send(bytes);
}

void TelnetSession::onReadyRead()
{
    if (!socket_)
        return;
    const QByteArray bytes = socket_->readAll();
    if (state_ == State::Refused || state_ == State::Closed)
        return;
    for (char ch : bytes) {
        const quint8 c = quint8(ch);
        if (!telnet_.isData(c))
            continue;
        if (lineEndSeen_ && (c == '\n' || c == 0)) {
            lineEndSeen_ = false;
            continue;
        }
        lineEndSeen_ = false;
        if (c == '\r' || c == '\n') {
            lineEndSeen_ = c == '\r';
            onLine(std::exchange(line_, {}), false);
            if (!socket_ || state_ == State::Closed)
                return;
            continue;
        }
        if (line_.size() >= kMaxLine) {
            onLine(std::exchange(line_, {}), true);
            if (!socket_ || state_ == State::Closed)
                return;
        }
        line_.append(ch);
    }
}

void TelnetSession::onLine(const QByteArray& raw, bool tooLong)
{
    const QString line = QString::fromLatin1(raw);
    const bool secret = state_ == State::Password;
    Record r;
    r.service = Service::Telnet;
    r.connection = id_;
    r.address = socket_->localAddress().toString();
    r.raw = raw;
    r.line = line;
    if (tooLong)
        r.note = QStringLiteral("line too long, cut");
    if (!core_->record(r))
        return;  // cut off before acting on it
    core_->event(QStringLiteral("telnet#%1 <- %2").arg(id_).arg(secret ? QStringLiteral("********") : line.left(200)));
    if (silenced())
        return;  // a dead shell takes lines in and does nothing with them

    const bool echo = core_->state()->model().shellEcho;
    switch (state_) {
    case State::Refused:
    case State::Closed: return;
    case State::Login:
        user_ = line.trimmed();
        if (echo)
            out(line + kCrLf);
        out(QStringLiteral("Password: "));
        flush(false);
        state_ = State::Password;
        return;
    case State::Password:
        if (echo && core_->state()->model().shellEchoesPassword)
            out(line + kCrLf);
        if (user_ == kUser && line == kPassword) {
            state_ = State::Shell;
            out(kCrLf);
            flush(true);
        } else {
            state_ = State::Login;
            out(QStringLiteral("\r\nLogin incorrect\r\n"));
            flush(false);
            greet();
        }
        return;
    case State::Busy:
        // While the reflash runs the shell is not reading commands; an empty
        // line is the Enter the Recovery Mode asks for.
        if (reflash_ && line.trimmed().isEmpty())
            reflash_->enterPressed();
        return;
    case State::Shell:
        if (echo)
            out(line + kCrLf);
        pending_ = splitOutsideQuotes(line, QLatin1Char(';'));
        runStatements();
        return;
    }
}

void TelnetSession::runStatements()
{
    if (silenced()) {
        pending_.clear();  // what was left of the line dies with the shell
        return;
    }
    while (!pending_.isEmpty()) {
        const QString statement = pending_.takeFirst().trimmed();
        if (statement.isEmpty())
            continue;
        if (!runStatement(statement))
            return;
        if (!socket_)
            return;
    }
    flush(true);
}

bool TelnetSession::runStatement(const QString& statement)
{
    static const QRegularExpression re(QStringLiteral("^([A-Za-z_][A-Za-z0-9_]*)\\s*(.*)$"));
    const auto match = re.match(statement);
    if (!match.hasMatch()) {
        out(QStringLiteral("syntax error\r\n"));
        return true;
    }
    const QString name = match.captured(1);
    const Faults faults = core_->state()->faults();
    if (name == faults.telnetFailCommand) {
        value(false);
        return true;
    }
    if (name == faults.telnetEndlessAfter) {
        startEndless();
        return false;
    }
    QString rest = match.captured(2).trimmed();
    if (rest.startsWith(QLatin1Char('(')) && rest.endsWith(QLatin1Char(')')))
        rest = rest.mid(1, rest.size() - 2);
    QStringList args;
    if (!rest.trimmed().isEmpty()) {
        for (const QString& a : splitOutsideQuotes(rest, QLatin1Char(',')))
            args << unquote(a);
    }

    if (name == QLatin1String("cd")) {
        value(args.size() == 1 && cd(args.first()));
    } else if (name == QLatin1String("pwd")) {
        out(cwd_ + kCrLf);
        value(true);
    } else if (name == QLatin1String("ls") || name == QLatin1String("ll")) {
        const auto p = core_->flash().resolve(cwd_, args.value(0));
        if (!p || !QFileInfo(p->local).isDir()) {
            value(false);
        } else {
            for (const QString& e : QDir(p->local).entryList(QDir::AllEntries | QDir::NoDotAndDotDot, QDir::Name))
                out(e + kCrLf);
            value(true);
        }
    } else if (name == QLatin1String("copy")) {
        value(copy(args));
    } else if (name == QLatin1String("mv")) {
        value(args.size() == 2 && move(args.at(0), args.at(1)));
    } else if (name == QLatin1String("rm")) {
        value(args.size() == 1 && remove(args.first()));
    } else if (name == QLatin1String("pic_data_show")) {
        const Model m = core_->state()->model();
        if (faults.picDataShowText)
            out(QString::fromLatin1(*faults.picDataShowText));  // Latin-1 both ways: the bytes unchanged
        else
            out(picDataShowText(m.battery, m.pic));
        value(m.battery != Battery::PollFailed);
    } else if (name == QLatin1String("pic_driver_reflash")) {
        if (args.value(0) != QLatin1String("1")) {
            value(false);
            return true;
        }
        flush(false);
        state_ = State::Busy;
        auto* job = new PicReflash(core_, this);
        reflash_ = job;
        job->start();
        return false;
    } else if (name == QLatin1String("sleep")) {
        const int seconds = qBound(0, args.value(0).toInt(), 3600);
        flush(false);
        state_ = State::Busy;
        QPointer<TelnetSession> self(this);
        core_->later(seconds * 1000, [self] {
            if (!self || self->state_ != State::Busy)
                return;  // gone, or closed by the terminal meanwhile
            self->state_ = State::Shell;
            self->value(true);
            self->runStatements();
        });
        return false;
    } else if (name == QLatin1String("reboot")) {
        flush(false);
        core_->requestRestart(QStringLiteral("reboot from the shell"));
        pending_.clear();
        return false;
    } else if (name == QLatin1String("logout") || name == QLatin1String("exit")) {
        // Free for the next client before it can see this one go.
        core_->shellClosed(this);
        flush(false);
        out_->closeWhenSent();
        pending_.clear();
        return false;
    } else {
        out(QStringLiteral("undefined symbol: %1\r\n").arg(name));
    }
    return true;
}

// The shell is stuck printing: no value, no prompt, no more commands.
void TelnetSession::startEndless()
{
    core_->event(QStringLiteral("telnet#%1 endless output (fault)").arg(id_));
    flush(false);
    pending_.clear();
    state_ = State::Busy;
    endless_.start();
    endlessMore();
}

void TelnetSession::endlessMore()
{
    // Only while the client takes it: one that stops reading must not make
    // the simulator's memory grow.
    if (!socket_ || out_->backlog() >= 4 * kEndlessChunk)
        return;
    static const char kHex[] = "0123456789abcdef";
    QByteArray text;
    text.reserve(kEndlessChunk + 80);
    while (text.size() < kEndlessChunk) {
        text += "PIC Data Array[" + QByteArray::number(endlessLine_) + "]:";
        for (int i = 0; i < 16; ++i) {
            const int b = int((endlessLine_ * 16 + i) & 0xff);
            text += ' ';
            text += kHex[b >> 4];
            text += kHex[b & 15];
        }
        text += "\r\n";
        ++endlessLine_;
    }
    out(QString::fromLatin1(text));
    flush(false);
}

void TelnetSession::reflashOutput(const QString& text)
{
    out(text);
    flush(false);
}

void TelnetSession::reflashFinished(const QString& text)
{
    out(text);
    if (state_ == State::Busy)
        state_ = State::Shell;
    reflash_ = nullptr;
    runStatements();
}

void TelnetSession::out(const QString& text)
{
    output_ += text;
}

void TelnetSession::flush(bool withPrompt)
{
    if (state_ == State::Closed) {
        output_.clear();  // closed by the terminal: nothing goes out any more
        return;
    }
    if (withPrompt)
        output_ += kPrompt;
    if (output_.isEmpty() || !socket_)
        return;
    out_->send(std::exchange(output_, {}).toLatin1());
}

void TelnetSession::value(bool ok)
{
    out((ok ? shellValueOk() : shellValueFailed()) + kCrLf);
}

bool TelnetSession::cd(const QString& dir)
{
    const auto p = core_->flash().resolve(cwd_, dir);
    if (!p || !QFileInfo(p->local).isDir())
        return false;
    cwd_ = p->isRoot ? QStringLiteral("/") : p->virt + QLatin1Char('/');
    return true;
}

// copy "a" prints a; copy "a","b" copies a to b.
bool TelnetSession::copy(const QStringList& args)
{
    if (args.isEmpty() || args.size() > 2)
        return false;
    const Flash& flash = core_->flash();
    const auto from = flash.resolve(cwd_, args.at(0));
    const auto bytes = from ? flash.read(from->virt) : std::nullopt;
    if (!bytes) {
        out(QStringLiteral("copy: cannot open \"%1\"\r\n").arg(args.at(0)));
        return false;
    }
    if (args.size() == 1) {
        QString text = QString::fromLatin1(*bytes);
        if (!text.endsWith(QLatin1Char('\n')))
            text += kCrLf;
        out(text);
        return true;
    }
    const auto to = flash.resolve(cwd_, args.at(1));
    return to && !to->isRoot && flash.write(to->virt, *bytes);
}

bool TelnetSession::move(const QString& from, const QString& to)
{
    const Flash& flash = core_->flash();
    const auto a = flash.resolve(cwd_, from);
    const auto b = flash.resolve(cwd_, to);
    if (!a || !b || a->isRoot || b->isRoot || !QFileInfo(a->local).isFile() || QFileInfo(b->local).isDir())
        return false;
    if (a->local == b->local)
        return true;
    QFile::remove(b->local);  // the shell's mv replaces the target
    return QFile::rename(a->local, b->local);
}

bool TelnetSession::remove(const QString& file)
{
    const auto p = core_->flash().resolve(cwd_, file);
    return p && !p->isRoot && QFileInfo(p->local).isFile() && QFile::remove(p->local);
}

}  // namespace qsim
