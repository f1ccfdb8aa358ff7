// The resource container: a 6-byte header (payload length, two reserved
// words), compressed and decompressed lengths, the stream, four zero bytes.
// All words are big-endian.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

constexpr std::size_t kMaxDecodedSize = 65535;

struct ContainerInfo {
  uint16_t reservedA;
  uint16_t reservedB;
  uint16_t compressedLength;
  uint16_t decodedLength;
  std::vector<uint8_t> stream;
};

// Wraps `decoded` compressed by the optimal encoder. Returns false (with a
// message in *error) when it is longer than 65535 bytes or empty.
bool BuildContainer(const std::vector<uint8_t>& decoded, uint16_t reservedA, uint16_t reservedB,
                    std::vector<uint8_t>* out, std::string* error);

// Reads a container's header fields and stream; false when it is too short
// or its lengths do not fit the file.
bool ParseContainer(const std::vector<uint8_t>& file, ContainerInfo* info, std::string* error);
