// A scenario told once against PluginDriver and run by every driver, in a server folder of
// its own. The lifecycle scenarios and the fault scenarios are tables of these.
#pragma once

#include <gtest/gtest.h>

#include <cctype>
#include <cstddef>
#include <string>

#include "plugin_driver.h"
#include "server_folder.h"

struct DriverScenario {
  const char* name;
  HostSetup setup;
  void (*run)(PluginDriver& driver, ServerFolder& folder);
};

// Names the tests of a suite parameterised by the row of a scenario table: the scenario's
// name, letters and digits kept, everything else '_'.
class ScenarioTestName {
 public:
  explicit ScenarioTestName(const DriverScenario* table) : table_(table) {}

  std::string operator()(const ::testing::TestParamInfo<std::size_t>& param) const {
    std::string name = table_[param.param].name;
    for (char& c : name) {
      if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
    }
    return name;
  }

 private:
  const DriverScenario* table_;
};
