// SPDX-License-Identifier: BSD-2-Clause
// frei0r's parameter list made from the table: every row the face offers,
// once, the noise level and the settings text first (hosts give them by
// position), numbers as doubles scaled into 0..1 with the scale stated.
#include "frei0r_params.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "frei0r_api.h"
#include "parameters.h"

TEST(Frei0rParameters, EveryRowOfTheFaceOnceTheWaysFirst) {
  int rows = 0;
  for (const ParamDef& p : kParams) rows += param_offered(p, kFaceFrei0r) ? 1 : 0;
  ASSERT_EQ(frei0r_param_count(), rows);
  EXPECT_EQ(frei0r_param(0)->id, kParamNoise);
  EXPECT_EQ(frei0r_param(1)->id, kParamSettings);
  EXPECT_EQ(frei0r_param(-1), nullptr);
  EXPECT_EQ(frei0r_param(rows), nullptr);
  for (int i = 0; i < rows; ++i) {
    const ParamDef& p = *frei0r_param(i);
    SCOPED_TRACE(p.name);
    EXPECT_TRUE(param_offered(p, kFaceFrei0r));
    for (int j = 0; j < i; ++j) EXPECT_NE(frei0r_param(j), &p);
    const std::string explanation = frei0r_param_explanation(i);
    EXPECT_EQ(explanation.find('\n'), std::string::npos);
    if (p.type == ParamType::kFloat) {
      EXPECT_EQ(frei0r_param_type(p), F0R_PARAM_DOUBLE);
      // The scale is stated, and a default travels inside 0..1.
      EXPECT_NE(explanation.find("[frei0r: sigma / 50]"), std::string::npos) << explanation;
      ASSERT_NE(p.default_value, nullptr);
      const double d = frei0r_double_of(p, std::strtod(p.default_value, nullptr));
      EXPECT_GE(d, 0.0);
      EXPECT_LE(d, 1.0);
      EXPECT_EQ(frei0r_double_of(p, p.max), 1.0);
      EXPECT_EQ(frei0r_value_of(p, 0.5), p.max / 2);
    } else if (p.type == ParamType::kBool) {
      EXPECT_EQ(frei0r_param_type(p), F0R_PARAM_BOOL);
    } else {
      EXPECT_EQ(frei0r_param_type(p), F0R_PARAM_STRING);
    }
  }
}
