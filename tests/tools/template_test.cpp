// The settings template shipped to administrators: every catalogue key, in catalogue order,
// commented out, each with its map and level file named; as read by the checker it
// configures nothing and is otherwise clean.
#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "check/server_check.h"
#include "check/settings_reader.h"
#include "rotation/map_catalogue.h"
#include "server_folder.h"

namespace {

std::string Template_Text() {
  std::ifstream in(HARVANE_SETTINGS_TEMPLATE, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

TEST(SettingsTemplate, NamesEveryKeyInCatalogueOrderCommentedOut) {
  const std::string text = Template_Text();
  ASSERT_FALSE(text.empty()) << HARVANE_SETTINGS_TEMPLATE;
  std::istringstream lines(text);
  std::string line, previous;
  std::vector<std::string> keys;
  const std::regex commented_entry(R"(^;([A-Za-z0-9]+)=2$)");
  std::smatch match;
  while (std::getline(lines, line)) {
    if (std::regex_match(line, match, commented_entry)) {
      const std::string key = match[1];
      keys.push_back(key);
      const int row = static_cast<int>(keys.size()) - 1;
      if (row < static_cast<int>(kMapCount)) {
        // The comment line above names the map and its level file.
        EXPECT_NE(previous.find(MapCatalogue[row].map_file_name), std::string::npos) << previous;
        EXPECT_NE(previous.find(MapCatalogue[row].level_file_name), std::string::npos) << previous;
      }
    }
    previous = line;
  }
  std::vector<std::string> catalogue_keys;
  for (const MapEntry& map : MapCatalogue) catalogue_keys.push_back(map.key);
  EXPECT_EQ(keys, catalogue_keys);
}

TEST(SettingsTemplate, UncommentedItSetsEveryKeyInGeneral) {
  std::string text = std::regex_replace(Template_Text(), std::regex(R"((^|\n);([A-Za-z0-9]+=2))"), "$1$2");
  const harvane_check::SettingsText settings = harvane_check::Read_Settings_Text(text);
  EXPECT_TRUE(settings.unreadable_lines.empty());
  ASSERT_EQ(settings.sections.size(), 1u);
  EXPECT_EQ(settings.sections[0].name, "General");
  ASSERT_EQ(settings.sections[0].entries.size(), kMapCount);
  for (std::size_t row = 0; row < kMapCount; ++row) {
    EXPECT_EQ(settings.sections[0].entries[row].key, MapCatalogue[row].key);
    EXPECT_EQ(settings.sections[0].entries[row].value, "2");
  }
}

TEST(SettingsTemplate, AsItIsConfiguresNoMapAndHasNoOtherFinding) {
  ServerFolder folder;
  folder.Write("Harvane.ini", Template_Text());
  const harvane_check::ServerReport report = harvane_check::Check_Server_Folder(folder.Path());
  ASSERT_EQ(report.findings.size(), 1u);
  EXPECT_EQ(report.findings[0].text, "no map has a count above 0: the plug-in will copy nothing");
  EXPECT_EQ(report.Exit_Status(), 1);
}

}  // namespace
