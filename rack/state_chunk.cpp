#include "rack/state_chunk.h"

namespace tarnwell {

namespace {

constexpr int32_t kNormalisedCopies = 2;

bool IsContinuationByte(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

// A text counts as read only when its whole length lies inside the blob.
int32_t ReadText(const plugkit::StateBlob& blob, int32_t position, std::string& out) {
  plugkit::GrowString text;
  const int32_t end = blob.GetText(text, position);
  if (end < 0 || end > blob.Size()) return -1;
  out.assign(text.Get(), static_cast<size_t>(text.Length()));
  return end;
}

}  // namespace

std::string StoredPresetId(std::string_view text) {
  text = text.substr(0, text.find('\0'));
  if (text.size() <= static_cast<size_t>(kMaxPresetIdBytes)) return std::string(text);
  size_t cut = kMaxPresetIdBytes;
  // Cut only where the next byte starts a character, so a valid id stays valid.
  while (cut > 0 && IsContinuationByte(text[cut])) --cut;
  return std::string(text.substr(0, cut));
}

bool WriteStateChunk(plugkit::StateBlob& blob, const plugkit::IPluginBase& plugin, std::string_view presetId) {
  bool ok = blob.PutValue(int32_t{0});
  for (int copy = 0; copy < kNormalisedCopies; ++copy)
    for (int32_t i = 0; i < plugin.NParams(); ++i) {
      const plugkit::IParam* param = plugin.GetParam(i);
      ok = blob.PutValue(param->NormaliseValue(param->Value())) && ok;
    }
  const bool paramsWritten = plugin.SerializeParams(blob);
  const std::string id(presetId);
  ok = blob.PutValue(kStateMarker) && ok;
  ok = blob.PutValue(kStateVersion) && ok;
  ok = blob.PutText(id.c_str()) && ok;
  return paramsWritten && ok;
}

ReadChunk ReadStateChunk(const plugkit::StateBlob& blob, int32_t start, plugkit::IPluginBase& plugin) {
  int32_t abSlot = 0;
  int32_t pos = blob.GetValue(abSlot, start);
  const int64_t skipped = int64_t{pos} + int64_t{8} * kNormalisedCopies * plugin.NParams();
  if (pos < 0 || skipped > blob.Size())
    pos = -1;
  else
    pos = static_cast<int32_t>(skipped);

  ReadChunk chunk;
  chunk.end = plugin.UnserializeParams(blob, pos);
  if (chunk.end < 0) return chunk;

  uint32_t marker = 0;
  int32_t version = 0;
  const int32_t afterMarker = blob.GetValue(marker, chunk.end);
  if (afterMarker < 0 || marker != kStateMarker) return chunk;
  chunk.endsAtBypass = false;
  const int32_t textStart = blob.GetValue(version, afterMarker);
  if (textStart < 0 || version <= 0) return chunk;

  std::string first, second;
  int32_t end = ReadText(blob, textStart, first);
  if (end >= 0 && version == 1) {
    end = ReadText(blob, end, second);
    if (abSlot == 1) first = second;
  }
  if (end < 0) return chunk;
  chunk.presetId = StoredPresetId(first);
  chunk.end = end;
  chunk.endsAtBypass = true;
  return chunk;
}

}  // namespace tarnwell
