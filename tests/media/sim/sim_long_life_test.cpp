// The simulated service in a program that runs long over a fixture file that
// other runs, and the user, change meanwhile.
#include <gtest/gtest.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "media/property_access.h"
#include "media/property_service.h"
#include "media/sim/sim_fixture_file.h"
#include "media/sim/sim_startup.h"

namespace camknob {
namespace {

constexpr ObjectId control = 3;

std::string fixtureWith(float value) {
  return R"({"devices": [{"objectId": 2, "controls": [
    {"objectId": 3, "properties": {"fcnv": )" +
         std::to_string(value) + R"(, "fcam": 0}, "settable": ["fcnv"]}]}]})";
}

void write(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

// The file replaced in one step, as a run writes it.
void replace(const std::string& path, const std::string& text) {
  write(path + ".new", text);
  std::filesystem::rename(path + ".new", path);
}

float storedValue() {
  return sim::float32Of(sim::store().objects.at(control).properties.at(selectors::nativeValue));
}

float valueInFile(const std::string& path) {
  const sim::FixtureLoad loaded = sim::loadFixture(path);
  EXPECT_TRUE(loaded.system) << loaded.fault;
  if (!loaded.system) return -1;
  return sim::float32Of(loaded.system->objects.at(control).properties.at(selectors::nativeValue));
}

// Another camknob-sim run's write to the fixture.
void writeFromAnotherRun(const std::string& path, float value) {
  sim::FixtureLoad loaded = sim::loadFixture(path);
  ASSERT_TRUE(loaded.system) << loaded.fault;
  sim::FixtureFile other{path, loaded.textHash};
  const sim::Change change = [value](sim::System& system) {
    system.objects.at(control).properties[selectors::nativeValue] = sim::float32Value(value);
    return noErr;
  };
  ASSERT_EQ(change(*loaded.system), noErr);
  ASSERT_EQ(sim::commitChange(other, change, *loaded.system).status, noErr);
}

bool readableWithin(int descriptor, int milliseconds) {
  pollfd watched{descriptor, POLLIN, 0};
  return ::poll(&watched, 1, milliseconds) == 1 && (watched.revents & POLLIN) != 0;
}

class SimLongLife : public ::testing::Test {
 protected:
  void SetUp() override {
    folder = std::filesystem::temp_directory_path() /
             ("camknob-long-life-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    path = (folder / "camera.json").string();
    write(path, fixtureWith(1));
    start(path);
  }

  void TearDown() override {
    start("");  // back to the demo
    ::unsetenv("CAMKNOB_SIM_FIXTURE");
    std::filesystem::remove_all(folder);
  }

  static void start(const std::string& fixture) {
    ::setenv("CAMKNOB_SIM_FIXTURE", fixture.c_str(), 1);
    ASSERT_EQ(sim::startSimulatedSystem("camknob-sim"), std::nullopt);
  }

  std::filesystem::path folder;
  std::string path;
};

TEST_F(SimLongLife, AChangeByAnotherRunShowsAfterARescan) {
  writeFromAnotherRun(path, 7);
  EXPECT_EQ(readFloat32(control, selectors::nativeValue), 1.0f);  // until the rescan
  EXPECT_TRUE(service::takeNews().devicesChanged);
  EXPECT_FALSE(service::takeNews().devicesChanged);  // told once
  service::rescanDevices();
  EXPECT_EQ(readFloat32(control, selectors::nativeValue), 7.0f);
  EXPECT_FALSE(service::takeNews().devicesChanged);

  // The store knows the file it reloaded: the next write saves the store as
  // it is, rather than the write made to the file's own system.
  sim::store().objects.at(control).properties[selectors::automaticManual] = sim::uint32Value(1);
  EXPECT_EQ(writeFloat32(control, selectors::nativeValue, 9), noErr);
  EXPECT_EQ(valueInFile(path), 9.0f);
  EXPECT_EQ(
      sim::loadFixture(path).system->objects.at(control).properties.at(selectors::automaticManual),
      sim::uint32Value(1));
}

TEST_F(SimLongLife, AFileRewrittenByTheUserIsReloadedWhole) {
  // A second device, written in place (the same file, another length).
  write(path, R"({"devices": [{"objectId": 2, "controls": [
    {"objectId": 3, "properties": {"fcnv": 4}, "settable": ["fcnv"]}]},
    {"objectId": 8, "properties": {"lnam": "Second"}}]})");
  service::rescanDevices();
  EXPECT_EQ(readObjectIds(systemObject, selectors::devices, std::nullopt),
            (std::vector<ObjectId>{2, 8}));
  EXPECT_EQ(readString(8, selectors::name), "Second");
  EXPECT_EQ(readFloat32(control, selectors::nativeValue), 4.0f);
  EXPECT_FALSE(readUInt32(control, selectors::automaticManual));  // gone with the old text
}

// Within a moment of the last look, and of the same length, the file's times
// and size may not show the change: the text tells.
TEST_F(SimLongLife, AFileRewrittenInPlaceAtOnceIsStillNews) {
  for (const float value : {2.0f, 3.0f}) {
    write(path, fixtureWith(value));
    EXPECT_TRUE(service::takeNews().devicesChanged) << value;
    service::rescanDevices();
    EXPECT_EQ(readFloat32(control, selectors::nativeValue), value);
  }
}

TEST_F(SimLongLife, TheServicesOwnWritesAreNoNews) {
  EXPECT_EQ(writeFloat32(control, selectors::nativeValue, 5), noErr);
  EXPECT_EQ(writeFloat32(control, selectors::nativeValue, 6), noErr);
  EXPECT_EQ(valueInFile(path), 6.0f);
  EXPECT_FALSE(service::takeNews().devicesChanged);
  service::rescanDevices();
  EXPECT_EQ(storedValue(), 6.0f);
  // A file rewritten with the very text the store wrote is no news either.
  const std::string text = sim::fixtureText(sim::store());
  replace(path, text);
  EXPECT_FALSE(service::takeNews().devicesChanged);
}

TEST_F(SimLongLife, AFixtureThatNoLongerLoadsLeavesTheStore) {
  const std::string broken[] = {"{", R"({"devices": [{"objectId": 1}]})", ""};
  for (const std::string& text : broken) {
    replace(path, text);
    ::testing::internal::CaptureStdout();
    ::testing::internal::CaptureStderr();
    const bool changed = service::takeNews().devicesChanged;
    service::rescanDevices();
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
    EXPECT_TRUE(changed) << text;
    EXPECT_EQ(readFloat32(control, selectors::nativeValue), 1.0f) << text;
    EXPECT_FALSE(service::takeNews().devicesChanged) << text;
  }
  std::filesystem::remove(path);
  EXPECT_TRUE(service::takeNews().devicesChanged);
  service::rescanDevices();
  EXPECT_EQ(readFloat32(control, selectors::nativeValue), 1.0f);
  EXPECT_FALSE(service::takeNews().devicesChanged);

  // Mended, it is news again, and loads.
  write(path, fixtureWith(3));
  EXPECT_TRUE(service::takeNews().devicesChanged);
  service::rescanDevices();
  EXPECT_EQ(readFloat32(control, selectors::nativeValue), 3.0f);
}

TEST_F(SimLongLife, TheDescriptorTellsOfChangesToTheFile) {
  const int watching = service::startWatching();
  ASSERT_GE(watching, 0);
  EXPECT_EQ(service::startWatching(), watching);
  EXPECT_FALSE(readableWithin(watching, 0));

  writeFromAnotherRun(path, 7);
  ASSERT_TRUE(readableWithin(watching, 5000));
  EXPECT_TRUE(service::takeNews().devicesChanged);
  EXPECT_FALSE(readableWithin(watching, 0));  // everything was read

  EXPECT_EQ(writeFloat32(control, selectors::nativeValue, 5), noErr);
  ASSERT_TRUE(readableWithin(watching, 5000));
  EXPECT_FALSE(service::takeNews().devicesChanged);
  EXPECT_EQ(valueInFile(path), 5.0f);
}

TEST_F(SimLongLife, AFixtureBehindALinkIsWatchedWhereItIsWritten) {
  const std::filesystem::path elsewhere = folder / "elsewhere";
  std::filesystem::create_directories(elsewhere);
  const std::string target = (elsewhere / "real.json").string();
  write(target, fixtureWith(2));
  const std::string link = (folder / "link.json").string();
  std::filesystem::create_symlink(target, link);
  start(link);
  const int watching = service::startWatching();
  ASSERT_GE(watching, 0);
  writeFromAnotherRun(link, 8);  // replaces the file beside the target
  ASSERT_TRUE(readableWithin(watching, 5000));
  EXPECT_TRUE(service::takeNews().devicesChanged);
  service::rescanDevices();
  EXPECT_EQ(readFloat32(control, selectors::nativeValue), 8.0f);
}

TEST_F(SimLongLife, TheDemoHasNothingToWatch) {
  start("");
  const auto devices = readObjectIds(systemObject, selectors::devices, std::nullopt);
  EXPECT_EQ(service::startWatching(), -1);
  EXPECT_FALSE(service::takeNews().devicesChanged);
  service::rescanDevices();
  service::refreshDevice(devices.at(0));
  EXPECT_EQ(readObjectIds(systemObject, selectors::devices, std::nullopt), devices);
  EXPECT_TRUE(service::takeNews().openedElsewhere.empty());
}

}  // namespace
}  // namespace camknob
