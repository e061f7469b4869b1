#include "engine/engine_answers.h"

#include "json/json_object.h"
#include "json/json_text.h"

namespace camknob::engine {

namespace {

using json::ObjectText;

// The texts the engine's answers carry come from files and cameras that may
// hold anything; a text that is not UTF-8 is shown with its bytes replaced.
void textOf(ObjectText& object, std::string_view key, std::string_view value) {
  (void)text(object, key, repairedUtf8(value));
}

void textList(std::string& out, const std::vector<std::string>& texts) {
  out.push_back('[');
  for (std::size_t i = 0; i < texts.size(); ++i) {
    if (i != 0) out.push_back(',');
    appendJsonString(out, repairedUtf8(texts[i]));
  }
  out.push_back(']');
}

void appendHolds(std::string& out, ObjectText& object, const Holds& holds) {
  key(object, "holds");
  out.push_back('[');
  bool first = true;
  for (const auto& [uid, profile] : holds) {
    if (!first) out.push_back(',');
    first = false;
    out.push_back('{');
    ObjectText hold{out};
    textOf(hold, "profile", profile);
    textOf(hold, "uid", uid);
    out.push_back('}');
  }
  out.push_back(']');
}

void appendPreset(std::string& out, const Preset& preset) {
  out.push_back('{');
  ObjectText object{out};
  textOf(object, "camera", preset.profile.name);
  integer(object, "controls", static_cast<std::uint32_t>(preset.profile.controls.size()));
  textOf(object, "name", preset.name);
  textOf(object, "uid", preset.profile.uid);
  out.push_back('}');
}

}  // namespace

std::string profilesAnswer(const std::vector<StoredProfile>& profiles, const Holds& holds) {
  std::string out = "{";
  ObjectText object{out};
  boolean(object, "ok", true);
  key(object, "profiles");
  out.push_back('[');
  for (std::size_t i = 0; i < profiles.size(); ++i) {
    const StoredProfile& stored = profiles[i];
    if (i != 0) out.push_back(',');
    out.push_back('{');
    ObjectText entry{out};
    if (stored.profile) {
      textOf(entry, "camera", stored.profile->name);
      integer(entry, "controls", static_cast<std::uint32_t>(stored.profile->controls.size()));
    } else {
      textOf(entry, "error", stored.fault);
    }
    std::vector<std::string> held;
    for (const auto& [uid, profile] : holds)
      if (profile == stored.name) held.push_back(uid);
    key(entry, "heldBy");
    textList(out, held);
    textOf(entry, "name", stored.name);
    if (stored.profile) textOf(entry, "uid", stored.profile->uid);
    out.push_back('}');
  }
  out += "]}";
  return out;
}

std::string deletedProfileAnswer(std::string_view name, const std::vector<std::string>& released) {
  std::string out = "{";
  ObjectText object{out};
  textOf(object, "deleted", name);
  boolean(object, "ok", true);
  key(object, "released");
  textList(out, released);
  out.push_back('}');
  return out;
}

std::string holdsAnswer(const Holds& holds) {
  std::string out = "{";
  ObjectText object{out};
  appendHolds(out, object, holds);
  boolean(object, "ok", true);
  out.push_back('}');
  return out;
}

std::string heldAnswer(const Holds& holds, std::string_view uid, std::string_view profile,
                       const std::optional<std::string>& applied, bool ok) {
  std::string out = "{";
  ObjectText object{out};
  if (applied) {
    key(object, "applied");
    out += *applied;
  }
  if (!ok)
    textOf(object, "error", "The hold is kept, but the profile did not all go on the camera.");
  key(object, "hold");
  out.push_back('{');
  ObjectText hold{out};
  textOf(hold, "profile", profile);
  textOf(hold, "uid", uid);
  out.push_back('}');
  appendHolds(out, object, holds);
  boolean(object, "ok", ok);
  out.push_back('}');
  return out;
}

std::string releasedAnswer(const Holds& holds, std::string_view uid, std::string_view profile) {
  std::string out = "{";
  ObjectText object{out};
  appendHolds(out, object, holds);
  boolean(object, "ok", true);
  key(object, "released");
  out.push_back('{');
  ObjectText released{out};
  textOf(released, "profile", profile);
  textOf(released, "uid", uid);
  out += "}}";
  return out;
}

std::string presetsAnswer(const std::vector<const Preset*>& presets) {
  std::string out = "{";
  ObjectText object{out};
  boolean(object, "ok", true);
  key(object, "presets");
  out.push_back('[');
  for (std::size_t i = 0; i < presets.size(); ++i) {
    if (i != 0) out.push_back(',');
    appendPreset(out, *presets[i]);
  }
  out += "]}";
  return out;
}

std::string presetAnswer(const Preset& preset) {
  std::string out = "{";
  ObjectText object{out};
  boolean(object, "ok", true);
  key(object, "preset");
  appendPreset(out, preset);
  out.push_back('}');
  return out;
}

std::string deletedPresetAnswer(const Preset& preset) {
  std::string out = "{";
  ObjectText object{out};
  key(object, "deleted");
  appendPreset(out, preset);
  boolean(object, "ok", true);
  out.push_back('}');
  return out;
}

}  // namespace camknob::engine
