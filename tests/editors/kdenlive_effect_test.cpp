// SPDX-License-Identifier: BSD-2-Clause
// Kdenlive's effect description of the frei0r filter held to the module
// itself (loaded as a frei0r host loads it): every parameter it names exists
// with the same type, range, default and values, and every parameter of the
// module is described.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "host_run.h"

extern "C" {
#include <frei0r.h>
}

namespace {

using Attributes = std::map<std::string, std::string>;

// The attributes of every <tag ...> element of the text, in order.
std::vector<Attributes> elements(const std::string& text, const std::string& tag) {
  std::vector<Attributes> found;
  for (size_t at = text.find("<" + tag + " "); at != std::string::npos;
       at = text.find("<" + tag + " ", at + 1)) {
    const size_t end = text.find('>', at);
    const std::string inside = text.substr(at, end - at);
    Attributes attributes;
    for (size_t eq = inside.find("=\""); eq != std::string::npos; eq = inside.find("=\"", eq + 1)) {
      const size_t name_start = inside.rfind(' ', eq) + 1;
      const size_t close = inside.find('"', eq + 2);
      attributes[inside.substr(name_start, eq - name_start)] =
          inside.substr(eq + 2, close - eq - 2);
    }
    found.push_back(attributes);
  }
  return found;
}

std::vector<std::string> split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  size_t at = 0;
  for (size_t next; (next = text.find(separator, at)) != std::string::npos; at = next + 1)
    parts.push_back(text.substr(at, next - at));
  parts.push_back(text.substr(at));
  return parts;
}

struct Module {
  void* handle = nullptr;
  template <typename F>
  F get(const char* name) {
    return reinterpret_cast<F>(dlsym(handle, name));
  }
};

}  // namespace

TEST(KdenliveEffect, DescribesTheModulesParametersAsTheyAre) {
  const Bytes xml_bytes = read_file(ZOLTA_KDENLIVE_XML);
  const std::string xml(xml_bytes.begin(), xml_bytes.end());
  ASSERT_FALSE(xml.empty());
  Module module;
  module.handle = dlopen(ZOLTA_FREI0R_MODULE, RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(module.handle, nullptr) << dlerror();
  auto init = module.get<int (*)()>("f0r_init");
  auto plugin_info = module.get<void (*)(f0r_plugin_info_t*)>("f0r_get_plugin_info");
  auto param_info = module.get<void (*)(f0r_param_info_t*, int)>("f0r_get_param_info");
  auto construct = module.get<f0r_instance_t (*)(unsigned, unsigned)>("f0r_construct");
  auto destruct = module.get<void (*)(f0r_instance_t)>("f0r_destruct");
  auto get_value = module.get<void (*)(f0r_instance_t, f0r_param_t, int)>("f0r_get_param_value");
  ASSERT_TRUE(init && plugin_info && param_info && construct && destruct && get_value);
  ASSERT_EQ(init(), 1);
  f0r_plugin_info_t info{};
  plugin_info(&info);

  const std::vector<Attributes> effect = elements(xml, "effect");
  ASSERT_EQ(effect.size(), 1u);
  EXPECT_EQ(effect[0].at("tag"), std::string("frei0r.") + info.name);

  f0r_instance_t instance = construct(64, 48);
  ASSERT_NE(instance, nullptr);
  const std::vector<Attributes> parameters = elements(xml, "parameter");
  EXPECT_EQ(parameters.size(), static_cast<size_t>(info.num_params));
  for (const Attributes& p : parameters) {
    const std::string name = p.at("name");
    SCOPED_TRACE(name);
    int index = -1;
    f0r_param_info_t param{};
    for (int i = 0; i < info.num_params && index < 0; ++i) {
      param_info(&param, i);
      if (name == param.name) index = i;
    }
    ASSERT_GE(index, 0) << "not a parameter of the module";
    const std::string type = p.at("type");
    if (param.type == F0R_PARAM_DOUBLE) {
      // Kdenlive shows value * factor: the shown range is frei0r's 0..1.
      ASSERT_EQ(type, "constant");
      const double factor = std::strtod(p.at("factor").c_str(), nullptr);
      EXPECT_EQ(std::strtod(p.at("min").c_str(), nullptr) / factor, 0.0);
      EXPECT_EQ(std::strtod(p.at("max").c_str(), nullptr) / factor, 1.0);
      double value = -1;
      get_value(instance, &value, index);
      EXPECT_EQ(std::strtod(p.at("default").c_str(), nullptr) / factor, value);
      // The scale the module states.
      EXPECT_NE(std::string(param.explanation).find(" / " + p.at("factor") + "]"),
                std::string::npos)
          << param.explanation;
    } else if (param.type == F0R_PARAM_BOOL) {
      ASSERT_EQ(type, "bool");
      double value = -1;
      get_value(instance, &value, index);
      EXPECT_EQ(std::strtod(p.at("default").c_str(), nullptr), value);
    } else {
      ASSERT_EQ(param.type, F0R_PARAM_STRING);
      ASSERT_TRUE(type == "list" || type == "keywords" || type == "url") << type;
      const char* value = nullptr;
      get_value(instance, &value, index);
      ASSERT_NE(value, nullptr);
      EXPECT_EQ(p.at("default"), value);
      if (type == "list") {
        // Every value the list offers is one the module names: its choices
        // "[a, b or c]", or its range "[0..2, or empty]".
        const std::string explanation = param.explanation;
        for (const std::string& v : split(p.at("paramlist"), ';')) {
          if (v.empty()) {
            EXPECT_NE(explanation.find("or empty]"), std::string::npos) << explanation;
          } else if (v[0] >= '0' && v[0] <= '9') {
            const size_t range = explanation.rfind('[');
            ASSERT_NE(range, std::string::npos) << explanation;
            const int n = std::atoi(v.c_str());
            EXPECT_LE(std::atof(explanation.c_str() + range + 1), n);
            EXPECT_GE(std::atof(explanation.c_str() + explanation.find("..", range) + 2), n);
          } else {
            EXPECT_NE(explanation.find(v, explanation.rfind('[')), std::string::npos) << v;
          }
        }
      }
    }
  }
  destruct(instance);
  dlclose(module.handle);
}
