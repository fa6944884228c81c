// Texts of the data folder are written by colleagues, and a file there can
// be written with any editor. What they hold must not turn the outputs of
// the real egresso-cli against their readers: no live formula in the CSV a
// spreadsheet opens, no control sequence on the terminal that shows a list.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <sstream>

#include "platform/codepage.h"
#include "platform/console_platform.h"
#include "support/cli_run.h"
#include "support/demo_folder.h"

namespace egresso {
namespace {

using test::RunCliProgram;

constexpr const char* kMark = "\xEF\xBF\xBD";  // U+FFFD

// The demo office on the real clock (the program reads dates by it).
struct PlantedOffice {
  LocalDateTime now = SystemClock().now();
  test::DemoFolder demo{&now};
  std::string md = "/MD=" + demo.dir.str();
};

// The line of out that starts with prefix.
std::string LineOf(const std::string& out, const std::string& prefix) {
  std::istringstream in(out);
  for (std::string l; std::getline(in, l);)
    if (l.rfind(prefix, 0) == 0) return l;
  return {};
}

TEST(HostileText, NoCellOfTheRollCallCsvIsAFormula) {
  // Bob's destination as typed, and the cell as the CSV writes it.
  const struct {
    const char* typed;
    const char* cell;
  } rows[] = {
      {"=HYPERLINK(\"http://evil.example/?x\",\"Click\")",
       "\"'=HYPERLINK(\"\"http://evil.example/?x\"\",\"\"Click\"\")\""},
      {"+1+cmd|'/C calc'!A0", "'+1+cmd|'/C calc'!A0"},
      {"-2+3", "'-2+3"},
      {"@SUM(A1:A9)", "'@SUM(A1:A9)"},
      {"\t=1+2", "' =1+2"},
      {"\r=1+2", "'\xEF\xBF\xBD=1+2"},
      {"Lunch at 1-2 pm", "Lunch at 1-2 pm"},
      {"Bank, then \"lunch\"", "\"Bank, then \"\"lunch\"\"\""},
      {"Z\xFCrich, Caf\xE9 M\xFCller", "\"Z\xC3\xBCrich, Caf\xC3\xA9 M\xC3\xBCller\""},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.typed);
    PlantedOffice o;
    test::SignOutTo(o.demo.writer, 2, row.typed);
    const auto r = RunCliProgram({"roll-call", "--format", "csv", o.md});
    ASSERT_EQ(r.code, 0);
    EXPECT_EQ(r.out.rfind("\xEF\xBB\xBFinitials,name,", 0), 0U) << "a UTF-8 byte-order mark first";
    EXPECT_EQ(LineOf(r.out, "BOB,").rfind(std::string("BOB,Bob Carter,out,") + row.cell + ",", 0), 0U) << r.out;
  }
}

// A byte of the output that a terminal obeys rather than shows: C0 (LF
// aside, CR only before LF), DEL, C1 in UTF-8.
std::string FirstControl(const std::string& out) {
  for (std::size_t i = 0; i < out.size(); ++i) {
    const auto c = static_cast<unsigned char>(out[i]);
    const auto next = i + 1 < out.size() ? static_cast<unsigned char>(out[i + 1]) : 0;
    const bool control = (c < 0x20 && c != '\n' && !(c == '\r' && next == '\n')) || c == 0x7F ||
                         (c == 0xC2 && next >= 0x80 && next <= 0x9F);
    if (control) return "control at " + std::to_string(i) + ": ..." + out.substr(i > 20 ? i - 20 : 0, 40);
  }
  return {};
}

TEST(HostileText, NoControlSequenceReachesTheTerminal) {
  // Planted as Bob's location and as the subject and text of a message to
  // Ann; what the roll call and the message show of it (marked), and what
  // the board's fixed columns show (blanked).
  const struct {
    const char* what;
    std::string planted;  // Windows-1252, as the records hold it
    std::string shown;
    std::string listed;
  } rows[] = {
      {"ESC sequences", "\x1b[2J\x1b[31mred", "\xEF\xBF\xBD[2J\xEF\xBF\xBD[31mred", " [2J [31mred"},
      {"OSC 52 clipboard", "\x1b]52;c;ZXZpbA==\x07", "\xEF\xBF\xBD]52;c;ZXZpbA==\xEF\xBF\xBD", " ]52;c;ZXZpbA== "},
      {"BEL", "ring\x07ring", "ring\xEF\xBF\xBDring", "ring ring"},
      {"CR", "safe\roverwritten", "safe\xEF\xBF\xBDoverwritten", "safe overwritten"},
      {"C1 OSC (0x9D, U+009D)", "\x9d" "52;c;eA==\x07", "\xEF\xBF\xBD" "52;c;eA==\xEF\xBF\xBD", " 52;c;eA== "},
      {"C1 DCS (0x90, U+0090)", "\x90q\x1b\\", "\xEF\xBF\xBDq\xEF\xBF\xBD\\", " q \\"},
      {"CSI U+009B as UTF-8", "\xC2\x9B" "2J", "\xC3\x82\xE2\x80\xBA" "2J", "\xC3\x82\xE2\x80\xBA" "2J"},
      {"DEL", "del\x7F" "ete", "del\xEF\xBF\xBD" "ete", "del ete"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    PlantedOffice o;
    test::SignOutTo(o.demo.writer, 2, row.planted);
    // Message 1 of the demo goes from Claire to Ann and Dan.
    test::PlantMessage(o.demo.writer, 1, row.planted, "Hello\r\n" + row.planted + "\r\nBye");
    const struct {
      std::vector<std::string> args;
      const std::string& has;
    } outputs[] = {
        {{"board", o.md}, row.listed},
        {{"messages", o.md, "/TU=ANN"}, row.listed},
        {{"roll-call", o.md}, row.shown},
        {{"roll-call", "--format", "csv", o.md}, row.shown},
        {{"read", "1", o.md, "/TU=ANN"}, row.shown},
    };
    for (const auto& output : outputs) {
      const auto r = RunCliProgram(output.args);
      EXPECT_EQ(r.code, 0) << output.args[0];
      EXPECT_EQ(FirstControl(r.out), "") << output.args[0];
      EXPECT_NE(r.out.find(output.has), std::string::npos) << output.args[0] << ":\n" << r.out;
    }
    // JSON escapes them all and keeps the text for the program that reads it.
    for (const char* command : {"board", "roll-call"}) {
      const auto r = RunCliProgram({command, "--format", "json", o.md});
      EXPECT_EQ(FirstControl(r.out), "") << command;
      const auto doc = nlohmann::json::parse(r.out, nullptr, false);
      ASSERT_FALSE(doc.is_discarded()) << r.out;
      bool found = false;
      for (const auto& e : doc["entries"])
        found = found || (e["initials"] == "BOB" && e["destination"] == cp1252ToUtf8(row.planted));
      EXPECT_TRUE(found) << command << ":\n" << r.out;
    }
  }
}

}  // namespace
}  // namespace egresso
