#pragma once

#include <QString>
#include <QStringList>

#include <optional>

class QDialog;
class QWidget;

enum class MsgIcon { None, Critical, Question, Exclamation, Information };
enum class MsgButtons { OK, YesNo };
enum class MsgResult { OK, Yes, No, Cancel };

QString msgIconName(MsgIcon icon);

// One box as the user saw it.
struct MsgRecord {
    QString title;
    QString text;
    MsgIcon icon = MsgIcon::None;
    MsgButtons buttons = MsgButtons::OK;
    MsgResult answer = MsgResult::OK;
    // What Enter chooses in a Yes/No box: No where Yes could harm the terminal.
    MsgResult defaultAnswer = MsgResult::OK;
};

// Message boxes and modal windows. The window uses QtDialogs; tests and the
// unattended front end answer them by script or policy.
class Dialogs {
public:
    virtual ~Dialogs() = default;
    virtual MsgResult msgBox(QWidget* parent, const QString& text, MsgButtons buttons, MsgIcon icon,
                             const QString& title, MsgResult defaultAnswer) = 0;
    // Shows a modal window and returns when it has closed.
    virtual void showModal(QDialog& dialog) = 0;
    // A folder the user picks, starting in startDir; nullopt when cancelled.
    virtual std::optional<QString> chooseFolder(QWidget* parent, const QString& title, const QString& startDir) = 0;
};
