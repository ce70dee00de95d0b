#include "ZingService.h"

#include "Core.h"
#include "Outbox.h"
#include "TerminalTexts.h"
#include "ZingMessages.h"

#include <utility>

namespace qsim {

namespace {
// A request shorter than its code needs waits this long for the rest: TCP
// may split a send, but a client that sent too little must not hang us.
constexpr int kShortRequestWaitMs = 200;
}  // namespace

ZingSession::ZingSession(QTcpSocket* socket, Core* core, int id)
    : QObject(core), core_(core), socket_(socket), out_(new Outbox(socket, core->state(), Service::Zing, this)), id_(id)
{
    socket_->setParent(this);
    shortTimer_.setSingleShot(true);
    connect(&shortTimer_, &QTimer::timeout, this, &ZingSession::onShortTimeout);
    connect(socket_, &QTcpSocket::readyRead, this, &ZingSession::onReadyRead);
    connect(socket_, &QTcpSocket::disconnected, this, &QObject::deleteLater);
    connect(core_, &Core::goingDown, this, &ZingSession::goAway);
    connect(core_, &Core::linksCut, this, &ZingSession::cutLink);
}

void ZingSession::cutLink()
{
    shortTimer_.stop();
    out_->drop();
    socket_->disconnect(this);
    resetConnection(socket_);
    socket_->deleteLater();
    socket_ = nullptr;
    deleteLater();
}

void ZingSession::goAway()
{
    shortTimer_.stop();
    out_->drop();
    socket_->disconnect(this);
    core_->bury(socket_);
    socket_ = nullptr;
    deleteLater();
}

void ZingSession::onReadyRead()
{
    buffer_ += socket_->readAll();
    if (buffer_.size() < 4) {
        shortTimer_.start(kShortRequestWaitMs);
        return;
    }
    const quint32 code = quint32(zing::readBe32(buffer_, 0));
    if (!zing::isKnown(code)) {
        shortTimer_.stop();
        handle(std::exchange(buffer_, {}), 4, QStringLiteral("unknown code"));
        return;
    }
    const int length = zing::requestLength(code);
    if (buffer_.size() < length) {
        shortTimer_.start(kShortRequestWaitMs);
        return;
    }
    shortTimer_.stop();
    const QString note = buffer_.size() > length
                             ? QStringLiteral("oversized: %1 extra bytes ignored").arg(buffer_.size() - length)
                             : QString();
    handle(std::exchange(buffer_, {}), length, note);
}

void ZingSession::onShortTimeout()
{
    if (buffer_.isEmpty() || !socket_)
        return;
    const QByteArray raw = std::exchange(buffer_, {});
    handle(raw, 0, QStringLiteral("short: %1 bytes").arg(raw.size()));
}

void ZingSession::handle(const QByteArray& raw, int length, const QString& note)
{
    const quint32 code = raw.size() >= 4 ? quint32(zing::readBe32(raw, 0)) : 0;
    Record r;
    r.service = Service::Zing;
    r.connection = id_;
    r.address = socket_->localAddress().toString();
    r.raw = raw;
    r.zingCode = code;
    r.note = note;
    if (!core_->record(r))
        return;  // cut off before acting on it
    const QString name = zing::codeName(code);
    core_->event(QStringLiteral("zing#%1 <- %2 [%3]%4")
                     .arg(id_)
                     .arg(name.isEmpty() ? QStringLiteral("code 0x%1").arg(code, 0, 16) : name,
                          QString::fromLatin1(raw.toHex(' ')),
                          note.isEmpty() ? QString() : QStringLiteral(" (") + note + QLatin1Char(')')));
    if (length == 0 || note == QLatin1String("unknown code"))
        return;  // nothing a terminal could act on
    serve(code, raw.left(length));
}

void ZingSession::serve(quint32 code, const QByteArray& request)
{
    const QString name = zing::codeName(code);
    if (core_->mode() == Mode::BootRom && code != zing::kVersion && code != zing::kReset) {
        core_->event(QStringLiteral("zing#%1 %2 not served by the Boot ROM").arg(id_).arg(name));
        return;
    }
    const Faults faults = core_->state()->faults();
    if (faults.zingByCode.contains(code)) {
        const ZingFault f = faults.zingByCode.value(code);
        if (f.kind == ZingFault::Kind::NoAnswer) {
            core_->event(QStringLiteral("zing#%1 %2 left unanswered (fault)").arg(id_).arg(name));
            return;
        }
        if (f.kind == ZingFault::Kind::Close) {
            core_->event(QStringLiteral("zing#%1 %2 answered by closing (fault)").arg(id_).arg(name));
            out_->closeWhenSent();
            return;
        }
    }
    const Model m = core_->state()->model();
    switch (code) {
    case zing::kVersion:
        if (zing::readBe32(request, 4) != 1)
            core_->event(QStringLiteral("zing#%1 VERSION_CMD with parameter %2, not 1").arg(id_).arg(zing::readBe32(request, 4)));
        respond(code, zing::versionResponse(versionText(m, core_->mode() == Mode::BootRom, core_->runningVersion())));
        break;
    case zing::kReset:
        core_->requestRestart(QStringLiteral("RESET_CMD"));
        break;
    case zing::kFactoryDefaults:
        respond(code, zing::plainResponse(code + zing::kResponse));
        if (m.factoryDefaultsRestarts)
            core_->requestRestart(QStringLiteral("factory defaults"));
        break;
    case zing::kChkdsk:
    case zing::kHaltStack:
    case zing::kGpsBypass:
        respond(code, zing::plainResponse(code + zing::kResponse));
        break;
    case zing::kGpsTestData:
        if (request.mid(4) != zing::gpsTestData())
            core_->event(QStringLiteral("zing#%1 GPS test data differs from 40 40 48 62 00 2a 0d 0a").arg(id_));
        respond(code, zing::plainResponse(code + zing::kResponse));
        break;
    case zing::kUpgradeAntenna:
        if (request.at(4) != 2)
            core_->event(QStringLiteral("zing#%1 UPGRADE_ANT_FW with parameter %2, not 2").arg(id_).arg(int(quint8(request.at(4)))));
        upgradeAntenna();
        break;
    case zing::kAntennaInfo: {
        const QByteArray text = antennaLines(m).toLatin1();
        respond(code, zing::fieldResponse(code + zing::kResponse, 0, qint32(text.size()), text));
        break;
    }
    case zing::kReleaseInfo: {
        const QByteArray text = releaseInfoText(m).toLatin1();
        respond(code, zing::fieldResponse(code + zing::kResponse, qint32(text.size()), qint32(text.size()), text));
        break;
    }
    default: break;
    }
}

// The terminal flashes the antenna from the images put in /tffs0, confirms
// when done and restarts when it accepted the images. The antenna then
// reports the versions the images carry (an IAC image on its ATB line),
// unless the model names them.
void ZingSession::upgradeAntenna()
{
    const Flash& flash = core_->flash();
    const bool haveImage = flash.exists(QStringLiteral("/tffs0/atb.sxm")) || flash.exists(QStringLiteral("/tffs0/hpa.sxm"))
                           || flash.exists(QStringLiteral("/tffs0/iac.sxm"));
    const auto carried = [&flash](const char* image) {
        return imageVersion(flash.read(QLatin1String(image)).value_or(QByteArray())).value_or(QString());
    };
    QString atb = carried("/tffs0/iac.sxm");
    if (atb.isEmpty())
        atb = carried("/tffs0/atb.sxm");
    const QString hpa = carried("/tffs0/hpa.sxm");
    core_->event(QStringLiteral("zing#%1 antenna flash started%2").arg(id_).arg(haveImage ? QString() : QStringLiteral(" without any antenna image")));
    QPointer<ZingSession> self(this);
    Core* core = core_;
    core_->later(core_->state()->model().antennaFlashMs, [self, core, haveImage, atb, hpa] {
        Model m = core->state()->model();
        qint32 status = m.antennaUpgradeStatus;
        QString text = m.antennaUpgradeText;
        if (!haveImage) {
            status = 3;
            text = QStringLiteral("no antenna image in /tffs0");
        }
        const bool accepted = status >= 0 && status <= 2;
        if (accepted) {
            core->state()->updateModel([&atb, &hpa](Model& mm) {
                const QString newAtb = mm.atbAfterUpgrade.isEmpty() ? atb : mm.atbAfterUpgrade;
                const QString newHpa = mm.hpaAfterUpgrade.isEmpty() ? hpa : mm.hpaAfterUpgrade;
                if (!newAtb.isEmpty())
                    mm.atb = newAtb;
                if (!newHpa.isEmpty())
                    mm.hpa = newHpa;
            });
        }
        const QByteArray bytes = text.toLatin1();
        const QByteArray answer =
            zing::fieldResponse(zing::kUpgradeAntenna + zing::kResponse, status, qint32(bytes.size()), bytes);
        if (self)
            self->respond(zing::kUpgradeAntenna, answer);
        else
            core->event(QStringLiteral("antenna flash done (status %1), nobody waiting").arg(status));
        if (accepted)
            core->requestRestart(QStringLiteral("antenna upgrade"));
    });
}

void ZingSession::respond(quint32 requestCode, const QByteArray& normal)
{
    if (!socket_)
        return;
    QByteArray bytes = normal;
    const Faults faults = core_->state()->faults();
    if (faults.zingByCode.contains(requestCode)) {
        const ZingFault f = faults.zingByCode.value(requestCode);
        if (f.kind == ZingFault::Kind::NoAnswer || f.kind == ZingFault::Kind::Close)
            return;
        bytes = zing::applyFault(normal, f);
    }
    core_->event(QStringLiteral("zing#%1 -> %2 (%3 bytes)")
                     .arg(id_)
                     .arg(zing::codeName(requestCode) + QStringLiteral(" answer"))
                     .arg(bytes.size()));
    out_->send(bytes);
}

}  // namespace qsim
