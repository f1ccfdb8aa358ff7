#include "tools/pack/container.h"

#include "tools/pack/lz77_encoder.h"

namespace {

void PutWord(std::vector<uint8_t>& out, std::size_t v) {
  out.push_back(static_cast<uint8_t>(v >> 8));
  out.push_back(static_cast<uint8_t>(v & 0xFF));
}

uint16_t GetWord(const std::vector<uint8_t>& in, std::size_t at) {
  return static_cast<uint16_t>((in[at] << 8) | in[at + 1]);
}

}  // namespace

bool BuildContainer(const std::vector<uint8_t>& decoded, uint16_t reservedA, uint16_t reservedB,
                    std::vector<uint8_t>* out, std::string* error) {
  if (decoded.empty()) {
    *error = "the text is empty";
    return false;
  }
  if (decoded.size() > kMaxDecodedSize) {
    *error = "the text decodes to " + std::to_string(decoded.size()) +
             " bytes; the reader takes at most 65535";
    return false;
  }
  std::vector<uint8_t> stream = CompressOptimal(decoded.data(), decoded.size());
  // The payload length is a 16-bit field: stream + 8 must fit in it.
  if (stream.size() + 8 > 0xFFFF) {
    *error = "the compressed stream is too long for the container";
    return false;
  }
  out->clear();
  PutWord(*out, stream.size() + 8);
  PutWord(*out, reservedA);
  PutWord(*out, reservedB);
  PutWord(*out, stream.size());
  PutWord(*out, decoded.size());
  out->insert(out->end(), stream.begin(), stream.end());
  out->insert(out->end(), 4, 0);
  return true;
}

bool ParseContainer(const std::vector<uint8_t>& file, ContainerInfo* info, std::string* error) {
  if (file.size() < 10) {
    *error = "too short for a container header";
    return false;
  }
  info->reservedA = GetWord(file, 2);
  info->reservedB = GetWord(file, 4);
  info->compressedLength = GetWord(file, 6);
  info->decodedLength = GetWord(file, 8);
  if (10u + info->compressedLength > file.size()) {
    *error = "the stream length runs past the end of the file";
    return false;
  }
  info->stream.assign(file.begin() + 10, file.begin() + 10 + info->compressedLength);
  return true;
}
