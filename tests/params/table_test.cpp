// SPDX-License-Identifier: BSD-2-Clause
// The parameter table on its own and the faces made from it: names unique
// within each face, defaults within their ranges, every option of zolta-run
// in its --help and in its refusal of two settings at once.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "avs_args.h"
#include "options.h"
#include "parameters.h"
#include "vs_args.h"

namespace {

const uint32_t kFaces[] = {kFaceRun,          kFaceDemo,   kFaceVapourSynth,
                           kFaceAviSynthPlus, kFaceFrei0r, kFaceGStreamer,
                           kFaceOfx};

bool parse(std::vector<const char*> args, RunOptions& options, std::string& error) {
  args.insert(args.begin(), "zolta-run");
  return parse_options(static_cast<int>(args.size()), args.data(), options, error);
}

// A value the row takes, for a command line.
const char* some_value(const ParamDef& p) {
  switch (p.id) {
    case kParamConfigText:
      return "Config(0,0,0,0,0,0,0,0,0)";
    case kParamSigma:
      return "5";
    case kParamThresholds:
      return "0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0";
    default:
      return "x";
  }
}

}  // namespace

TEST(ParameterTable, NamesAreUniqueWithinEachFaceAndTheCommandLine) {
  for (uint32_t face : kFaces) {
    for (const ParamDef& a : kParams) {
      for (const ParamDef& b : kParams) {
        if (&a == &b || !param_offered(a, face) || !param_offered(b, face)) continue;
        EXPECT_STRNE(a.name, b.name) << "face " << face;
        if (face & (kFaceRun | kFaceDemo)) {
          EXPECT_NE(param_option_name(a), param_option_name(b)) << "face " << face;
        }
      }
    }
  }
  // param_by_name finds each face's own row.
  EXPECT_EQ(param_by_name("plane", kFaceRun)->id, kParamRunPlane);
  EXPECT_EQ(param_by_name("plane", kFaceVapourSynth)->id, kParamPlane);
  EXPECT_EQ(param_by_name("sigma", kFaceDemo)->id, kParamDemoSigma);
  EXPECT_EQ(param_by_name("thresholds", kFaceDemo), nullptr);
}

TEST(ParameterTable, RangesHoldTheirDefaultsAndListsTheirLengths) {
  for (const ParamDef& p : kParams) {
    SCOPED_TRACE(p.name);
    EXPECT_LE(p.min, p.max);
    EXPECT_NE(p.help, nullptr);
    EXPECT_NE(p.faces, 0u);
    if (p.type == ParamType::kIntList) {
      EXPECT_GT(p.count, 0);
      EXPECT_LE(p.count, kParamMaxValues);
    }
    if (!p.default_value) continue;
    if (p.type == ParamType::kChoice) {
      EXPECT_GE(param_choice_index(p, p.default_value), 0);
    } else if (p.type == ParamType::kInt || p.type == ParamType::kFloat) {
      const double v = std::strtod(p.default_value, nullptr);
      EXPECT_TRUE(p.min_excluded ? v > p.min : v >= p.min);
      EXPECT_LE(v, p.max);
    }
  }
  const ParamDef& view = kParams[kParamView];
  EXPECT_EQ(param_choice_index(view, "normal"), 0);
  EXPECT_EQ(param_choice_index(view, "diff"), 2);
  EXPECT_EQ(param_choice_index(view, "dif"), -1);
  EXPECT_EQ(param_choice_index(view, "normal|high"), -1);
  EXPECT_EQ(param_choices_text(view), "normal, high or diff");
  EXPECT_EQ(param_count_word(kParams[kParamThresholds].count), "eighteen");
}

TEST(ParameterTable, EveryOptionOfZoltaRunIsInItsHelp) {
  const std::string help = usage_text();
  for (const ParamDef& p : kParams) {
    if (!param_offered(p, kFaceRun | kFaceDemo)) continue;
    SCOPED_TRACE(p.name);
    const std::string option = "--" + param_option_name(p);
    // Listed with its first line of help, or in the usage lines.
    const std::string first_line = std::string(p.help).substr(0, std::string(p.help).find('\n'));
    const size_t at = help.find(option);
    ASSERT_NE(at, std::string::npos);
    EXPECT_TRUE(help.find(first_line) != std::string::npos ||
                help.find("[" + option) != std::string::npos);
    if (p.named_value) {
      EXPECT_NE(help.find(option + " " + p.named_value), std::string::npos);
    }
  }
}

TEST(ParameterTable, EveryWayOfGivingSettingsConflictsWithEveryOther) {
  std::vector<const ParamDef*> ways;
  for (const ParamDef& p : kParams)
    if (param_offered(p, kFaceRun) && p.settings_way) ways.push_back(&p);
  ASSERT_EQ(ways.size(), 4u);
  for (const ParamDef* a : ways) {
    for (const ParamDef* b : ways) {
      if (a == b) continue;
      const std::string oa = "--" + param_option_name(*a), ob = "--" + param_option_name(*b);
      RunOptions o;
      std::string error;
      EXPECT_FALSE(
          parse({oa.c_str(), some_value(*a), ob.c_str(), some_value(*b), "in", "out"}, o, error))
          << oa << " " << ob;
      // The message names every way.
      for (const ParamDef* w : ways)
        EXPECT_NE(error.find("--" + param_option_name(*w)), std::string::npos) << error;
    }
  }
  // Each alone is taken.
  for (const ParamDef* a : ways) {
    const std::string oa = "--" + param_option_name(*a);
    RunOptions o;
    std::string error;
    EXPECT_TRUE(parse({oa.c_str(), some_value(*a), "in", "out"}, o, error)) << oa << ": " << error;
  }
}

TEST(ParameterTable, PluginStringsHaveEveryRowOfTheirHostInOrder) {
  std::string vs, avs;
  int avs_count = 0;
  for (const ParamDef& p : kParams) {
    if (param_offered(p, kFaceVapourSynth)) vs += std::string(p.name) + ":";
    if (param_offered(p, kFaceAviSynthPlus)) {
      avs += avs_param(p);
      ++avs_count;
    }
  }
  // Only the names and the order here; the hosts' own tests read the strings whole.
  std::string vs_names;
  for (const char* c = vs_args_string(); *c; ++c) {
    const char* colon = std::strchr(c, ':');
    ASSERT_NE(colon, nullptr);
    vs_names += std::string(c, colon) + ":";
    c = std::strchr(c, ';');
    ASSERT_NE(c, nullptr);
  }
  EXPECT_EQ(vs_names, vs);
  EXPECT_EQ(avs_params_string(), avs);
  EXPECT_EQ(avs_param_count(), avs_count);
}
