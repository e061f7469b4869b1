// The pieces of the response's JSON text: compact, keys sorted by the caller,
// slashes and control characters escaped, numbers in their shortest form.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "records/camera_records.h"

namespace camknob {

// The length of the well-formed UTF-8 sequence that starts the (non-empty)
// text, or 0 when none does: no overlong forms, surrogates or code points
// past U+10FFFF.
std::size_t utf8SequenceLength(std::string_view text);

// Whether the bytes are well-formed UTF-8 throughout.
bool isValidUtf8(std::string_view text);

// The bytes as valid UTF-8, for text from kernels, devices and files that may
// hold anything: each byte that does not belong to a well-formed sequence
// becomes U+FFFD.
std::string repairedUtf8(std::string_view bytes);

void appendJsonString(std::string& out, std::string_view text);

// False, with nothing appended, for a value JSON cannot carry (non-finite).
bool appendJsonNumber(std::string& out, double value);

void appendJsonUnsigned(std::string& out, std::uint32_t value);

// One device as the response gives it; false when it cannot be encoded.
bool appendDevice(std::string& out, const CameraDevice& device);

// The whole document for a response, or nothing when it cannot be encoded
// (a non-finite number, or text that is not UTF-8).
std::optional<std::string> encodeResponse(const CameraResponse& response);

// The same document made of devices already encoded by appendDevice, each
// given as its text; nothing when the error cannot be encoded.
std::optional<std::string> encodeResponseOfTexts(const std::vector<const std::string*>& devices,
                                                 bool ok, const std::optional<std::string>& error);

}  // namespace camknob
