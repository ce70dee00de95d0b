#include "upgrade/Verdict.h"

#include "support/Printers.h"

#include <gtest/gtest.h>

namespace {

// An item took only when the terminal, running its software, reports the package's version.
TEST(Verdict, AnItemTookOnlyWhenReadBackFromTheSoftware)
{
    const verdict::AntennaFiles pair{"15", "13", ""};
    const verdict::AntennaFiles iac{"", "", "11"};
    const struct { const char* name; verdict::Item item; bool took; } rows[] = {
        {"software", verdict::software("5.7.1.12", "5.7.2.0", "5.7.2.0", false), true},
        {"software unchanged", verdict::software("5.7.1.12", "5.7.1.12", "5.7.2.0", false), false},
        {"software from the Boot ROM", verdict::software("5.7.1.12", "5.7.2.0", "5.7.2.0", true), false},
        {"antenna pair", verdict::antenna("", "1.5", "1.3", pair, false), true},
        {"antenna half", verdict::antenna("", "1.5", "1.2", pair, false), false},
        {"IAC on either side", verdict::antenna("", "1.4", "1.1", iac, false), true},
        {"no antenna file", verdict::antenna("", "1.5", "1.3", {}, false), false},
        {"PIC", verdict::pic("3.02", "3.05", "3.05", false), true},
        {"PIC from the Boot ROM", verdict::pic("3.02", "3.05", "3.05", true), false},
    };
    for (const auto& r : rows)
        EXPECT_EQ(r.item.took, r.took) << r.name;

    const verdict::Summary s = verdict::summarize("Upgrade", {rows[0].item, rows[7].item});
    EXPECT_TRUE(s.took);
    const verdict::Summary f = verdict::summarize("Restore", {rows[1].item});
    EXPECT_EQ(f.status, "Restore Failed !  Did not take: software.");
    EXPECT_TRUE(f.box.contains("the terminal runs 5.7.1.12; the package holds 5.7.2.0")) << f.box.toStdString();
}

}  // namespace
