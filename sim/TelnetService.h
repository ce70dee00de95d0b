#pragma once

// The terminal's shell over telnet: login, the handful of commands the PIC
// upgrade uses, and the PIC reflash that outlives the session that started it.

#include "TelnetFilter.h"

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QTcpSocket>
#include <QTimer>

namespace qsim {

class Core;
class Outbox;
class PicReflash;

class TelnetSession : public QObject {
    Q_OBJECT
public:
    TelnetSession(QTcpSocket* socket, Core* core, int id);
    ~TelnetSession() override;

    // Output of a reflash this session started.
    void reflashOutput(const QString& text);
    void reflashFinished(const QString& lastOutput);

private:
    enum class State { Login, Password, Shell, Busy, Refused, Closed };

    void greet();
    void onReadyRead();
    void onLine(const QByteArray& raw, bool tooLong);
    void runStatements();
    // One shell statement; false when it goes on asynchronously.
    bool runStatement(const QString& statement);
    void out(const QString& text);
    void flush(bool withPrompt);
    void value(bool ok);
    void goAway();
    void cutLink();
    void closeShell();
    bool silenced() const;
    void startEndless();
    void endlessMore();

    bool cd(const QString& dir);
    bool copy(const QStringList& args);
    bool move(const QString& from, const QString& to);
    bool remove(const QString& file);

    Core* core_;
    QTcpSocket* socket_;
    Outbox* out_;
    int id_;
    State state_ = State::Login;
    QString user_;
    QString cwd_ = QStringLiteral("/");
    QByteArray line_;
    bool lineEndSeen_ = false;  // CR seen: a following LF or NUL belongs to it
    TelnetFilter telnet_;
    QStringList pending_;       // statements of the current line still to run
    QString output_;
    QPointer<PicReflash> reflash_;
    QTimer endless_;            // paces the endless output (Faults::telnetEndlessAfter)
    quint64 endlessLine_ = 0;
};

}  // namespace qsim
