#include "upgrade/AntennaLogic.h"

#include "support/Printers.h"

#include <gtest/gtest.h>

namespace {

using ant::Kind;

// A file's class decides which antenna it may go to.
TEST(AntennaFiles, ClassAndVersionFromTheName)
{
    const struct { Kind kind; const char* name; int32_t classId; const char* version; } rows[] = {
        {Kind::Atb, "ATB_02409_12.sxm", ant::CLASS_11, "12"}, {Kind::Hpa, "HPA_2302_03.sxm", ant::CLASS_10, "03"},
        {Kind::Iac, "IAC_03829_11.sxm", ant::CLASS_11_IAC, "11"},
        // Unknown codes, codes outside the field, a code of another kind.
        {Kind::Atb, "ATB_99999_12.sxm", ant::CLASS_UNKNOWN, ""}, {Kind::Hpa, "HPA_2407_long_12.sxm", ant::CLASS_UNKNOWN, ""},
        {Kind::Iac, "IAC_02409_12.sxm", ant::CLASS_UNKNOWN, ""},
        // Short names and blanks in the version.
        {Kind::Hpa, "HPA2002.sxm", ant::CLASS_2, "02"}, {Kind::Atb, "ATB.sxm", ant::CLASS_UNKNOWN, ""},
        {Kind::Atb, "ATB_02409_ 3.sxm", ant::CLASS_11, "3"},
    };
    for (const auto& r : rows) {
        const ant::FileInfo f = ant::fileInfo(r.kind, r.name);
        EXPECT_EQ(f.classId, r.classId) << r.name;
        EXPECT_EQ(f.version, r.version) << r.name;
    }
}

TEST(AntennaFiles, TheHomeFolderCheckDecidesOneArrangement)
{
    const auto undecided = std::nullopt;  // a conflict box ends the check
    const struct { const char* name; QStringList atb, hpa, iac; std::optional<bool> ok; const char* classField;
                   bool conflictBox, disable; } rows[] = {
        {"ATB and HPA of one class", {"ATB_02409_12.sxm"}, {"HPA_2407_11.sxm"}, {}, true, "Class 11", false, false},
        {"HPA alone", {}, {"HPA_2002_06.sxm"}, {}, true, "Class 2", false, false},
        {"IAC alone", {}, {}, {"IAC_03829_11.sxm"}, true, "Class 11", false, false},
        {"nothing", {}, {}, {}, false, "UNAVAILABLE", false, false},
        {"classes differ", {"ATB_02409_12.sxm"}, {"HPA_2302_03.sxm"}, {}, false, "UNKNOWN", false, true},
        {"IAC of another code", {}, {}, {"IAC_11111_11.sxm"}, false, "UNKNOWN", false, true},
        {"two ATB", {"ATB_02409_12.sxm", "ATB_02409_13.sxm"}, {"HPA_2407_11.sxm"}, {}, undecided, nullptr, true, false},
        {"two HPA", {}, {"HPA_2407_11.sxm", "HPA_2407_12.sxm"}, {}, undecided, nullptr, true, false},
        {"two IAC", {}, {}, {"IAC_03829_11.sxm", "IAC_03829_12.sxm"}, undecided, nullptr, true, false},
        {"both arrangements", {"ATB_02409_12.sxm"}, {}, {"IAC_03829_11.sxm"}, false, "UNKNOWN", true, true},
    };
    for (const auto& r : rows) {
        const ant::LocalCheck c = ant::checkLocalFiles(r.atb, r.hpa, r.iac);
        EXPECT_EQ(std::tuple(c.firmwareOk, c.classField, !c.conflictBox.isEmpty(), c.disable),
                  std::tuple(r.ok, QString(r.classField), r.conflictBox, r.disable)) << r.name;
    }
    // The IAC version shows in both local version fields.
    const ant::LocalCheck iac = ant::checkLocalFiles({}, {}, {"IAC_03829_11.sxm"});
    EXPECT_EQ(iac.atbField, "11");
    EXPECT_EQ(iac.hpaField, "11");
}

TEST(AntennaTerminal, TagValuesAndTheClassTheyName)
{
    const QString text = "ATB: 1.4\r\nAHW:  2.0 \r\nHPA: 1.2\r\nASN: A1\r\nCLASS: 11\r\nAHV: 03829";
    EXPECT_TRUE(ant::hasAntennaInfo(text));
    EXPECT_FALSE(ant::hasAntennaInfo("ATB: 1.4\r\nHPA: 1.2\r\nASN: A1\r\nCLASS: 11\r\n"));
    EXPECT_EQ(ant::tagValue(text, "AHW: "), "2.0");
    // The last line has no CR LF: its value runs to the end of the text.
    EXPECT_EQ(ant::tagValue(text, "AHV: "), "03829");
    EXPECT_EQ(ant::tagValue(text, "PIC: "), "");
    const ant::TerminalAntenna a = ant::terminalAntenna(text, 7, ant::CLASS_UNKNOWN);
    EXPECT_EQ(std::tuple(a.atb, a.ahw, a.hpa, a.asn, a.classId), std::tuple("1.4", "2.0", "1.2", "A1", ant::CLASS_11_IAC));

    const struct { const char* cls; const char* ahv; int32_t platform; int32_t classId; } rows[] = {
        {"10", "", 7, ant::CLASS_10}, {"10", "", 1, ant::CLASS_10R}, {"11", "02409", 7, ant::CLASS_11},
        {"11", "03829", 7, ant::CLASS_11_IAC}, {"9", "", 7, ant::CLASS_9}, {"2", "", 7, ant::CLASS_2}, {"X", "", 7, ant::CLASS_UNKNOWN},
    };
    for (const auto& r : rows)
        EXPECT_EQ(ant::terminalClass(r.cls, r.ahv, r.platform, ant::CLASS_UNKNOWN), r.classId) << r.cls << "/" << r.ahv;
}

TEST(AntennaFit, SequenceAndStandalone)
{
    using ant::kNoFile;
    const struct { const char* name; ant::Firmware files; int32_t terminal; bool fits, standalone; } rows[] = {
        {"pair of the terminal's class", {true, 4, 4, kNoFile}, 4, true, true},
        // The standalone menu takes a class 2 HPA file alone, as it always did.
        {"HPA alone, class 2", {true, kNoFile, 0, kNoFile}, 0, true, true},
        {"HPA alone of another class: the sequence only", {true, kNoFile, 4, kNoFile}, 4, true, false},
        {"ATB alone: the sequence only", {true, 4, kNoFile, kNoFile}, 4, true, false},
        {"IAC for an IAC antenna", {true, kNoFile, kNoFile, 5}, 5, true, true},
        {"IAC for a class 11 antenna", {true, kNoFile, kNoFile, 5}, 4, false, false},
        // A kind that is not there does not match a class 2 antenna.
        {"IAC for a class 2 antenna", {true, kNoFile, kNoFile, 5}, 0, false, false},
        {"ATB alone for a class 2 antenna", {true, 4, kNoFile, kNoFile}, 0, false, false},
        {"pair of another class", {true, 2, 2, kNoFile}, 4, false, false},
        {"files not usable", {false, 4, 4, kNoFile}, 4, false, false},
        {"unknown codes, unknown antenna", {true, 6, 6, kNoFile}, 6, true, false},
    };
    for (const auto& r : rows) {
        EXPECT_EQ(ant::fits(r.files, r.terminal), r.fits) << r.name;
        EXPECT_EQ(ant::fitsStandalone(r.files, r.terminal), r.standalone) << r.name;
    }
}

}  // namespace
