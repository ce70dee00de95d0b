#pragma once

// Telnet commands in a byte stream (IAC x, IAC WILL/WONT/DO/DONT option,
// IAC SB ... IAC SE), told apart from data one byte at a time.

#include <QtGlobal>

namespace qsim {

class TelnetFilter {
public:
    // Whether the byte is data rather than part of a command (IAC IAC is the data byte 255).
    bool isData(quint8 c)
    {
        switch (state_) {
        case State::Data:
            if (c != 255)
                return true;
            state_ = State::Iac;
            return false;
        case State::Iac:
            state_ = c >= 251 && c <= 254 ? State::Option : c == 250 ? State::Sub : State::Data;
            return c == 255;
        case State::Option: state_ = State::Data; return false;
        case State::Sub:
            if (c == 255)
                state_ = State::SubIac;
            return false;
        case State::SubIac: state_ = c == 240 ? State::Data : State::Sub; return false;
        }
        return false;
    }

private:
    enum class State { Data, Iac, Option, Sub, SubIac } state_ = State::Data;
};

}  // namespace qsim
