#include "engine/camera_list.h"

#include <algorithm>

#include "json/json_text.h"
#include "json/write_response.h"

namespace camknob::engine {

namespace {

std::optional<std::string> textOf(const CameraDevice& device) {
  std::string text;
  if (!appendDevice(text, device)) return std::nullopt;
  return text;
}

}  // namespace

CameraList cameraListOf(std::vector<CameraDevice> devices) {
  CameraList list{std::move(devices), {}};
  list.texts.reserve(list.devices.size());
  for (const CameraDevice& device : list.devices) list.texts.push_back(textOf(device));
  return list;
}

bool replaceDevice(CameraList& list, ObjectId deviceId, std::optional<CameraDevice> device) {
  const auto found =
      std::find_if(list.devices.begin(), list.devices.end(),
                   [deviceId](const CameraDevice& known) { return known.objectId == deviceId; });
  if (found == list.devices.end()) return false;
  const auto index = static_cast<std::size_t>(found - list.devices.begin());
  if (!device) {
    list.devices.erase(found);
    list.texts.erase(list.texts.begin() + static_cast<std::ptrdiff_t>(index));
    return true;
  }
  std::optional<std::string> text = textOf(*device);
  const bool changed = text != list.texts[index] || !text;
  list.devices[index] = std::move(*device);
  list.texts[index] = std::move(text);
  return changed;
}

bool sameList(const CameraList& a, const CameraList& b) {
  if (a.texts.size() != b.texts.size()) return false;
  for (std::size_t i = 0; i < a.texts.size(); ++i)
    if (!a.texts[i] || a.texts[i] != b.texts[i]) return false;
  return true;
}

std::string listDocument(const CameraList& list, bool ok, const std::optional<std::string>& error) {
  std::vector<const std::string*> texts;
  texts.reserve(list.texts.size());
  for (const std::optional<std::string>& text : list.texts) {
    if (!text) return std::string(fallbackResponseLine);
    texts.push_back(&*text);
  }
  return encodeResponseOfTexts(texts, ok, error).value_or(std::string(fallbackResponseLine));
}

}  // namespace camknob::engine
