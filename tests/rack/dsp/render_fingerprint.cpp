#include "render_fingerprint.h"

#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>

namespace {

constexpr std::uint64_t kFnvOffset = 14695981039346656037ull;
constexpr std::uint64_t kFnvPrime = 1099511628211ull;
constexpr char kMagic[4] = {'T', 'W', 'G', '1'};
// Far beyond any render the tests make; guards the reader against a corrupt count.
constexpr std::uint32_t kLargestCount = 1u << 24;

void HashWord(std::uint64_t& hash, std::uint64_t word) {
  for (int byte = 0; byte < 8; ++byte) {
    hash ^= (word >> (8 * byte)) & 0xffu;
    hash *= kFnvPrime;
  }
}

bool NearCellEdge(double sample) {
  const double u = sample / kFingerprintStep;
  return std::fabs(u - std::floor(u) - 0.5) < kFingerprintMargin;
}

std::int64_t CellIndex(double sample, bool shifted) {
  const double u = sample / kFingerprintStep;
  return static_cast<std::int64_t>(shifted ? std::floor(u) : std::floor(u + 0.5));
}

// Calls visit(position, sample) over the render, interleaved.
template <typename Visit>
void ForEachSample(const StereoSignal& render, Visit visit) {
  for (std::size_t i = 0; i < render.left.size(); ++i) {
    visit(static_cast<std::uint32_t>(2 * i), render.left[i]);
    visit(static_cast<std::uint32_t>(2 * i + 1), render.right[i]);
  }
}

std::vector<std::uint64_t> ChunkHashes(const StereoSignal& render, const std::vector<std::uint32_t>& shifted) {
  std::vector<std::uint64_t> hashes;
  std::size_t next = 0;
  ForEachSample(render, [&](std::uint32_t position, double sample) {
    if (position % (2 * kFingerprintChunkFrames) == 0) {
      hashes.push_back(kFnvOffset);
    }
    const bool isShifted = next < shifted.size() && shifted[next] == position;
    next += isShifted ? 1 : 0;
    HashWord(hashes.back(), static_cast<std::uint64_t>(CellIndex(sample, isShifted)));
  });
  return hashes;
}

class Writer {
 public:
  void Word(std::uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) {
      data.push_back(static_cast<char>((value >> (8 * i)) & 0xffu));
    }
  }
  // Gaps between shifted positions are small, so they take one byte in most cases.
  void Varint(std::uint64_t value) {
    do {
      const auto low = static_cast<std::uint8_t>(value & 0x7fu);
      value >>= 7;
      data.push_back(static_cast<char>(low | (value != 0 ? 0x80u : 0u)));
    } while (value != 0);
  }
  std::string data;
};

class Reader {
 public:
  explicit Reader(const std::string& data) : data_(data) {}

  bool Word(std::uint64_t& value, int bytes) {
    if (data_.size() - position_ < static_cast<std::size_t>(bytes)) {
      return false;
    }
    value = 0;
    for (int i = 0; i < bytes; ++i) {
      value |= static_cast<std::uint64_t>(static_cast<std::uint8_t>(data_[position_++])) << (8 * i);
    }
    return true;
  }
  bool Varint(std::uint64_t& value) {
    value = 0;
    for (int shift = 0; shift < 64; shift += 7) {
      if (position_ >= data_.size()) {
        return false;
      }
      const auto byte = static_cast<std::uint8_t>(data_[position_++]);
      value |= static_cast<std::uint64_t>(byte & 0x7fu) << shift;
      if ((byte & 0x80u) == 0) {
        return true;
      }
    }
    return false;
  }
  bool Count(std::uint32_t& count) {
    std::uint64_t value = 0;
    if (!Word(value, 4) || value > kLargestCount) {
      return false;
    }
    count = static_cast<std::uint32_t>(value);
    return true;
  }
  bool Text(std::string& text, std::size_t length) {
    if (data_.size() - position_ < length) {
      return false;
    }
    text = data_.substr(position_, length);
    position_ += length;
    return true;
  }
  bool AtEnd() const { return position_ == data_.size(); }

 private:
  const std::string& data_;
  std::size_t position_ = 0;
};

bool ReadEntry(Reader& reader, NamedFingerprint& entry) {
  std::uint64_t nameLength = 0;
  std::uint64_t frames = 0;
  std::uint32_t chunks = 0;
  std::uint32_t shiftedCount = 0;
  RenderFingerprint& f = entry.fingerprint;
  if (!reader.Word(nameLength, 1) || !reader.Text(entry.name, nameLength) || !reader.Word(frames, 4) ||
      frames > kLargestCount || !reader.Word(f.exactHash, 8) || !reader.Count(chunks)) {
    return false;
  }
  f.frames = static_cast<std::int32_t>(frames);
  f.chunkHashes.resize(chunks);
  for (std::uint64_t& hash : f.chunkHashes) {
    if (!reader.Word(hash, 8)) {
      return false;
    }
  }
  if (!reader.Count(shiftedCount)) {
    return false;
  }
  std::uint64_t position = 0;
  for (std::uint32_t i = 0; i < shiftedCount; ++i) {
    std::uint64_t gap = 0;
    if (!reader.Varint(gap) || gap > kLargestCount) {
      return false;
    }
    position += gap;
    f.shifted.push_back(static_cast<std::uint32_t>(position));
  }
  return true;
}

}  // namespace

std::uint64_t ExactHash(const StereoSignal& render) {
  std::uint64_t hash = kFnvOffset;
  ForEachSample(render, [&](std::uint32_t, double sample) {
    std::uint64_t bits = 0;
    std::memcpy(&bits, &sample, sizeof bits);
    HashWord(hash, bits);
  });
  return hash;
}

RenderFingerprint TakeFingerprint(const StereoSignal& render) {
  RenderFingerprint f;
  f.frames = static_cast<std::int32_t>(render.left.size());
  f.exactHash = ExactHash(render);
  ForEachSample(render, [&](std::uint32_t position, double sample) {
    if (NearCellEdge(sample)) {
      f.shifted.push_back(position);
    }
  });
  f.chunkHashes = ChunkHashes(render, f.shifted);
  return f;
}

std::vector<std::int32_t> ChunksOutsideFingerprint(const RenderFingerprint& golden, const StereoSignal& render) {
  if (static_cast<std::int32_t>(render.left.size()) != golden.frames || render.right.size() != render.left.size()) {
    return {0};
  }
  const std::vector<std::uint64_t> hashes = ChunkHashes(render, golden.shifted);
  std::vector<std::int32_t> outside;
  for (std::size_t c = 0; c < hashes.size(); ++c) {
    if (c >= golden.chunkHashes.size() || hashes[c] != golden.chunkHashes[c]) {
      outside.push_back(static_cast<std::int32_t>(c) * kFingerprintChunkFrames);
    }
  }
  return outside;
}

bool WriteFingerprints(const std::string& path, const std::vector<NamedFingerprint>& entries) {
  Writer writer;
  writer.data.append(kMagic, sizeof kMagic);
  writer.Word(entries.size(), 4);
  for (const NamedFingerprint& entry : entries) {
    const RenderFingerprint& f = entry.fingerprint;
    writer.Word(entry.name.size(), 1);
    writer.data += entry.name;
    writer.Word(static_cast<std::uint64_t>(f.frames), 4);
    writer.Word(f.exactHash, 8);
    writer.Word(f.chunkHashes.size(), 4);
    for (std::uint64_t hash : f.chunkHashes) {
      writer.Word(hash, 8);
    }
    writer.Word(f.shifted.size(), 4);
    std::uint32_t previous = 0;
    for (std::uint32_t position : f.shifted) {
      writer.Varint(position - previous);
      previous = position;
    }
  }
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(writer.data.data(), static_cast<std::streamsize>(writer.data.size()));
  return static_cast<bool>(out);
}

bool ReadFingerprints(const std::string& path, std::vector<NamedFingerprint>& entries) {
  std::ifstream in(path, std::ios::binary);
  const std::string data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (!in.good() && !in.eof()) {
    return false;
  }
  Reader reader(data);
  std::string magic;
  std::uint32_t count = 0;
  if (!reader.Text(magic, sizeof kMagic) || magic != std::string(kMagic, sizeof kMagic) || !reader.Count(count)) {
    return false;
  }
  entries.assign(count, {});
  for (NamedFingerprint& entry : entries) {
    if (!ReadEntry(reader, entry)) {
      return false;
    }
  }
  return reader.AtEnd();
}
