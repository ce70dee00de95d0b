#pragma once

#include "platform/Dialogs.h"

#include <QList>

#include <deque>
#include <functional>

// Answers boxes and modal windows without a person: queued answers first, then
// a policy. Every box is recorded with its title, text, icon and buttons.
class ScriptedDialogs : public Dialogs {
public:
    using BoxPolicy = std::function<MsgResult(const MsgRecord&)>;
    using WindowScript = std::function<void(QDialog&)>;

    MsgResult msgBox(QWidget* parent, const QString& text, MsgButtons buttons, MsgIcon icon,
                     const QString& title, MsgResult defaultAnswer) override;
    void showModal(QDialog& dialog) override;
    std::optional<QString> chooseFolder(QWidget* parent, const QString& title, const QString& startDir) override;

    // Next Yes/No answers, used before the policy.
    void queueAnswer(MsgResult answer) { answers_.push_back(answer); }
    // Next modal windows: each script acts on the window (types, clicks).
    // A window still open after its script (or without one) is closed.
    void queueWindowScript(WindowScript script) { windowScripts_.push_back(std::move(script)); }
    // Next folder choices; a null text is Cancel, and so is a chooser with none queued.
    void queueFolder(const QString& folder) { folders_.push_back(folder); }
    // Decides boxes when no answer is queued. Default: OK, and No for questions.
    void setPolicy(BoxPolicy policy) { policy_ = std::move(policy); }
    // Serve events this long inside every box, as a reading user would.
    void setDwellMs(int ms) { dwellMs_ = ms; }
    // Called for every box once it is answered (the front end prints them).
    std::function<void(const MsgRecord&)> onBox;
    std::function<void(const QString& windowTitle)> onWindow;

    const QList<MsgRecord>& boxes() const { return boxes_; }
    const QStringList& windows() const { return windows_; }
    // The folder each chooser started in, in order.
    const QStringList& folderChoosersStartedIn() const { return choosersStartedIn_; }
    void clear()
    {
        boxes_.clear();
        windows_.clear();
        choosersStartedIn_.clear();
    }

private:
    std::deque<MsgResult> answers_;
    std::deque<WindowScript> windowScripts_;
    std::deque<QString> folders_;
    BoxPolicy policy_;
    int dwellMs_ = 0;
    QList<MsgRecord> boxes_;
    QStringList windows_;
    QStringList choosersStartedIn_;
};
