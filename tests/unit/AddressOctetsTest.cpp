#include "ui/AddressOctets.h"

#include "support/Printers.h"

#include <gtest/gtest.h>

namespace {

// The Configure window's boxes: a keystroke that would make a box more than
// an octet is refused, an empty box may still be filled, and Update takes
// only four whole octets.
TEST(AddressOctets, OnlyFourNumbersUpTo255MakeAnAddress)
{
    const struct {
        QStringList octets;
        const char* address;  // empty: refused
    } rows[] = {
        {{"127", "0", "0", "1"}, "127.0.0.1"},
        {{"255", "255", "255", "0"}, "255.255.255.0"},
        // Decimal, as typed: never read as octal.
        {{"127", "010", "00", "1"}, "127.10.0.1"},
        {{"256", "0", "0", "1"}, ""},
        {{"127", "", "0", "1"}, ""},
        {{"127", "0", "0", "1000"}, ""},
        {{" 12", "0", "0", "1"}, ""},
        {{"-1", "0", "0", "1"}, ""},
        {{"1e2", "0", "0", "1"}, ""},
        {{QString::fromUtf8("\u0663"), "0", "0", "1"}, ""},  // a digit of another script
        {{"127.0", "0", "1"}, ""},
        {{"127", "0", "1"}, ""},
    };
    for (const auto& r : rows)
        EXPECT_EQ(ui::joinOctets(r.octets), r.address) << r.octets.join('|').toStdString();

    const struct {
        const char* typed;
        QValidator::State state;
    } typing[] = {{"", QValidator::Intermediate}, {"25", QValidator::Acceptable}, {"256", QValidator::Invalid},
                  {"0255", QValidator::Invalid}, {".", QValidator::Invalid}};
    for (const auto& t : typing)
        EXPECT_EQ(ui::octetState(t.typed), t.state) << t.typed;
}

}  // namespace
