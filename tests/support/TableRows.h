#pragma once

#include <cctype>
#include <ostream>
#include <string>

// Helpers for table-driven tests whose rows carry a readable `name`.
// Bring PrintTo into the test's namespace (`using tablerows::PrintTo;`) so
// that failures show the row's name instead of its bytes.
namespace tablerows {

template <class Row>
    requires requires(const Row& r) { r.name; }
void PrintTo(const Row& row, std::ostream* os)
{
    *os << row.name;
}

// The test name of a row: its name with every character other than a
// letter or digit turned into "_".
struct RowName {
    template <class Info>
    std::string operator()(const Info& info) const
    {
        std::string n = info.param.name;
        for (char& ch : n) {
            if (!std::isalnum(static_cast<unsigned char>(ch)))
                ch = '_';
        }
        return n;
    }
};

}  // namespace tablerows
