// SPDX-License-Identifier: BSD-2-Clause
// The reference pages' tables of parameters (doc/hosts.md, doc/zolta-run.md)
// against the parameter table: every name, the hosts' types, the ranges and
// the defaults, as a reader finds them.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "avs_args.h"
#include "parameters.h"
#include "vs_args.h"

namespace {

using Row = std::vector<std::string>;

std::string trim(const std::string& s) {
  const size_t a = s.find_first_not_of(' ');
  if (a == std::string::npos) return std::string();
  return s.substr(a, s.find_last_not_of(' ') - a + 1);
}

// The cells of one markdown table row.
Row cells(const std::string& line) {
  Row row;
  std::string cell;
  for (size_t i = 1; i < line.size(); ++i) {
    if (line[i] == '|') {
      row.push_back(trim(cell));
      cell.clear();
    } else {
      cell += line[i];
    }
  }
  return row;
}

// The rows of the table in the page `path` whose header line is `header`.
std::vector<Row> doc_table(const char* path, const std::string& header) {
  std::ifstream file(path);
  EXPECT_TRUE(file) << path;
  std::vector<Row> rows;
  std::string line;
  bool inside = false;
  while (std::getline(file, line)) {
    if (!inside) {
      inside = line == header;
      if (inside) std::getline(file, line);  // the |---| line
      continue;
    }
    if (line.empty() || line[0] != '|') break;
    rows.push_back(cells(line));
  }
  EXPECT_FALSE(rows.empty()) << path << " has no table headed " << header;
  return rows;
}

std::string code(const std::string& s) {
  return "`" + s + "`";
}

std::string number(double v) {
  std::ostringstream out;
  out.precision(10);
  out << v;
  return out.str();
}

// The values a row takes, as the pages write them.
std::string values_text(const ParamDef& p, uint32_t face) {
  std::string text;
  switch (p.type) {
    case ParamType::kInt:
      text = number(p.min) + ".." + number(p.max);
      break;
    case ParamType::kIntList:
      text = std::to_string(p.count) + " × " + number(p.min) + ".." + number(p.max);
      break;
    case ParamType::kFloat:
      text = p.min_excluded ? "above " + number(p.min) + ", at most " + number(p.max)
                            : number(p.min) + ".." + number(p.max);
      break;
    case ParamType::kUnsigned:
      text = "non-negative integer";
      break;
    case ParamType::kChoice: {
      const std::string choices = p.choices;
      size_t start = 0;
      for (size_t bar; (bar = choices.find('|', start)) != std::string::npos; start = bar + 1)
        text += code(choices.substr(start, bar - start)) + ", ";
      text += code(choices.substr(start));
      break;
    }
    default:
      break;
  }
  if (p.named_value && (face & (kFaceRun | kFaceDemo))) text += ", or " + code(p.named_value);
  return text;
}

std::string default_text(const ParamDef& p) {
  if (!p.default_value) return std::string();
  return p.type == ParamType::kChoice ? code(p.default_value) : p.default_value;
}

std::string option_cell(const ParamDef& p) {
  const std::string option = code("--" + param_option_name(p));
  return p.letter ? code(std::string("-") + p.letter) + ", " + option : option;
}

// doc/zolta-run.md's table of one zolta-run face: every row of the face once, with
// its values and default.
void expect_run_table(const std::string& header, uint32_t face) {
  const std::vector<Row> rows = doc_table(ZOLTA_RUN_DOC, header);
  int listed = 0;
  for (const ParamDef& p : kParams) {
    if (!param_offered(p, face)) continue;
    // The help option belongs to both: the main table lists it.
    if (face == kFaceDemo && p.id == kParamHelp) continue;
    SCOPED_TRACE(param_option_name(p));
    ++listed;
    int found = 0;
    for (const Row& row : rows) {
      ASSERT_EQ(row.size(), 4u) << row[0];
      if (row[0] != option_cell(p)) continue;
      ++found;
      EXPECT_EQ(row[1], values_text(p, face));
      EXPECT_EQ(row[2], default_text(p));
      EXPECT_FALSE(row[3].empty());
    }
    EXPECT_EQ(found, 1);
  }
  EXPECT_EQ(static_cast<int>(rows.size()), listed) << "the page lists options the table has not";
}

}  // namespace

TEST(ParamsDocTables, PluginTableHasEveryParameterInOrderWithItsTypesRangeAndDefault) {
  const std::vector<Row> rows =
      doc_table(ZOLTA_HOSTS_DOC, "| name | VapourSynth | AviSynth+ | values | default | meaning |");
  size_t i = 0;
  for (const ParamDef& p : kParams) {
    if (!param_offered(p, kFacePlugins)) continue;
    // Both hosts offer the same parameters, so one table serves them.
    ASSERT_TRUE(param_offered(p, kFaceVapourSynth) && param_offered(p, kFaceAviSynthPlus))
        << p.name;
    ASSERT_LT(i, rows.size()) << "doc/hosts.md lacks " << p.name;
    const Row& row = rows[i++];
    SCOPED_TRACE(p.name);
    ASSERT_EQ(row.size(), 6u);
    EXPECT_EQ(row[0], code(p.name));
    EXPECT_EQ(row[1], code(vs_arg_type(p)));
    const std::string avs = avs_param(p);
    EXPECT_EQ(row[2], code(avs.substr(avs.find(']') + 1)));
    EXPECT_EQ(row[3], values_text(p, kFacePlugins));
    EXPECT_EQ(row[4], default_text(p));
    EXPECT_FALSE(row[5].empty());
  }
  EXPECT_EQ(i, rows.size()) << "doc/hosts.md lists parameters the table has not";
}

TEST(ParamsDocTables, ZoltaRunTablesHaveEveryOptionWithItsRangeAndDefault) {
  {
    SCOPED_TRACE("zolta-run");
    expect_run_table("| option | values | default | meaning |", kFaceRun);
  }
  {
    SCOPED_TRACE("the demo");
    expect_run_table("| demo option | values | default | meaning |", kFaceDemo);
  }
}
