// camknob-capture-fixture on the kernel's own drivers: the fixture it makes of
// vivid and the virtual camera lists, under camknob-sim on the host, what
// camknob lists in the guest at the same moment; and each control's step,
// default, range and menu items are those v4l2-ctl reads from the driver.
#include <gtest/gtest.h>

#include <cctype>
#include <map>
#include <nlohmann/json.hpp>
#include <sstream>

#include "e2e/run_process.h"
#include "step_answers.h"
#include "vm_plan.h"

namespace camknob::vmtests {

std::vector<vm::Step> captureSteps(const GuestPrograms& programs) {
  std::vector<vm::Step> steps{
      {"cap.capture", {"camknob-capture-fixture"}},
      {"cap.list", {"camknob", "list"}},
  };
  if (programs.v4l2Ctl) {
    steps.push_back({"cap.v4l2-ctl.vivid", {"v4l2-ctl", "-d", vividNode, "--list-ctrls-menus"}});
    steps.push_back({"cap.v4l2-ctl.camera", {"v4l2-ctl", "-d", cameraNode, "--list-ctrls-menus"}});
  }
  return steps;
}

namespace {

using nlohmann::json;

// The fixture as the simulated service reads it today: menus are left out
// until its fixtures take them.
json withoutMenus(json fixture) {
  for (json& device : fixture["devices"])
    if (device.contains("controls"))
      for (json& control : device["controls"]) control.erase("menu");
  return fixture;
}

json withoutAutomaticValues(json listing) {
  if (listing.is_object() && listing.contains("devices"))
    for (json& device : listing["devices"])
      for (json& control : device["controls"])
        if (control.value("automatic", false)) control.erase("value");
  return listing;
}

// What v4l2-ctl --list-ctrls-menus tells of one control.
struct DriverControl {
  std::map<std::string, std::int64_t> fields;  // min, max, step, default
  json menu = json::array();                   // {"value", "name"} as the fixture has them
};

// v4l2-ctl's name of a control: letters and digits in lower case, every run
// of anything else one '_', none at the end.
std::string v4l2CtlName(const std::string& name) {
  std::string out;
  for (const char c : name) {
    if (std::isalnum(static_cast<unsigned char>(c)))
      out += char(std::tolower(static_cast<unsigned char>(c)));
    else if (!out.empty() && out.back() != '_')
      out += '_';
  }
  while (!out.empty() && out.back() == '_') out.pop_back();
  return out;
}

// Lines "  name 0x00980900 (int)  : min=0 max=255 step=1 default=128 ..." and,
// under a menu, "    1: Menu Item 1" or, under an integer menu, "    1: 5 (0x5)".
std::map<std::string, DriverControl> driverControls(const std::string& listing) {
  std::map<std::string, DriverControl> controls;
  DriverControl* current = nullptr;
  bool integerMenu = false;
  std::istringstream lines(listing);
  for (std::string line; std::getline(lines, line);) {
    const auto colon = line.find(':');
    const auto start = line.find_first_not_of(" \t");
    if (colon == std::string::npos || start == std::string::npos) continue;
    if (line.find(" 0x") != std::string::npos && line.find('(') < colon) {
      std::istringstream head(line.substr(start, colon - start));
      std::string name;
      std::string id;
      std::string type;
      head >> name >> id >> type;
      current = &controls[name];
      integerMenu = type == "(intmenu)";
      // A boolean's range goes without saying.
      if (type == "(bool)") current->fields = {{"min", 0}, {"max", 1}, {"step", 1}};
      std::istringstream fields(line.substr(colon + 1));
      for (std::string field; fields >> field;)
        if (const auto equals = field.find('='); equals != std::string::npos) try {
            current->fields[field.substr(0, equals)] = std::stoll(field.substr(equals + 1));
          } catch (const std::exception&) {
          }
    } else if (current != nullptr) {
      const std::int64_t index = std::stoll(line.substr(start, colon - start));
      std::string text = line.substr(colon + 2);
      if (integerMenu)
        current->menu.push_back({{"value", index}, {"name", std::stoll(text)}});
      else
        current->menu.push_back({{"value", index}, {"name", text}});
    }
  }
  return controls;
}

TEST(CaptureInVm, CamknobSimListsTheCapturedCamerasAsCamknobDoes) {
  const json captured = stepJson("cap.capture", 0);
  const json listed = stepAnswer("cap.list", 0);
  ASSERT_EQ(captured["devices"].size(), 2u) << captured.dump();
  const std::string fixture = testing::fixtureFile(withoutMenus(captured).dump());
  const testing::ProcessResult simulated = testing::runProcess(CAMKNOB_SIM_PATH, {"list"}, fixture);
  EXPECT_EQ(simulated.exitStatus, 0) << simulated.err;
  EXPECT_EQ(simulated.err, "");
  // Every device and control with its ids, names, kinds, values, ranges,
  // automatic modes and what may be set; but the values a device changes by
  // itself while its automatic mode is on.
  EXPECT_EQ(withoutAutomaticValues(json::parse(simulated.out, nullptr, false)),
            withoutAutomaticValues(listed))
      << "camknob-sim: " << simulated.out << "\ncamknob: " << listed;
}

TEST(CaptureInVm, EachControlTellsWhatItsDriverSays) {
  if (!guestPrograms().v4l2Ctl) GTEST_SKIP() << "needs v4l2-ctl (Debian's v4l-utils)";
  const json captured = stepJson("cap.capture", 0);
  ASSERT_EQ(captured["devices"].size(), 2u);
  int menus = 0;
  int holes = 0;
  for (std::size_t d = 0; d < 2; ++d) {
    const std::string node = d == 0 ? "vivid" : "camera";
    const vm::StepResult* listing = stepResult("cap.v4l2-ctl." + node);
    ASSERT_NE(listing, nullptr);
    const auto driver = driverControls(listing->out);
    for (const json& control : captured["devices"][d]["controls"]) {
      const json& properties = control["properties"];
      if (!properties.contains("cnst")) continue;  // pan with tilt
      const std::string name = v4l2CtlName(properties["lnam"]);
      const auto found = driver.find(name);
      ASSERT_NE(found, driver.end()) << node << " " << name << " not in " << listing->out;
      const auto& fields = found->second.fields;
      EXPECT_EQ(properties["fcnr"], json::array({fields.at("min"), fields.at("max")})) << name;
      if (fields.contains("step")) {
        EXPECT_EQ(properties["cnst"], fields.at("step")) << name;
      }
      EXPECT_EQ(properties["cndf"], fields.at("default")) << name;
      if (found->second.menu.empty()) {
        EXPECT_FALSE(control.contains("menu")) << name;
        continue;
      }
      EXPECT_EQ(control["menu"], found->second.menu) << name;
      ++menus;
      const auto span = fields.at("max") - fields.at("min") + 1;
      holes += int(span - std::int64_t(found->second.menu.size()));
    }
  }
  // vivid has a menu and an integer menu, each with an item left out.
  EXPECT_GE(menus, 2);
  EXPECT_GE(holes, 2);
}

TEST(CaptureInVm, AbsoluteValuesCarryTheirUnitsAndScaledSteps) {
  const json captured = stepJson("cap.capture", 0);
  ASSERT_EQ(captured["devices"].size(), 2u);
  std::map<std::string, std::string> units;
  for (const json& control : captured["devices"][1]["controls"]) {
    const json& properties = control["properties"];
    if (!properties.contains("fcun")) {
      EXPECT_FALSE(properties.contains("cast")) << properties["lnam"];
      continue;
    }
    units[properties["clas"]] = properties["fcun"];
    // The native step and default in the absolute value's scale.
    const double perUnit =
        properties["fcnr"][1].get<double>() / properties["fcar"][1].get<double>();
    EXPECT_NEAR(properties["cast"].get<double>() * perUnit, properties["cnst"].get<double>(), 1e-6)
        << properties["lnam"];
    EXPECT_NEAR(properties["cadf"].get<double>() * perUnit, properties["cndf"].get<double>(), 1e-3)
        << properties["lnam"];
  }
  EXPECT_EQ(units, (std::map<std::string, std::string>{{"temp", "kelvin"}, {"xpsr", "seconds"}}));
}

}  // namespace

}  // namespace camknob::vmtests
