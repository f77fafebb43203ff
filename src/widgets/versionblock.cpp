#include "widgets/versionblock.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <stdexcept>

#include "util/cp1252map.h"

namespace ordalyn {

namespace {

constexpr std::uint16_t kBinaryNode = 0;
constexpr std::uint16_t kTextNode = 1;
constexpr std::size_t kNodeHeaderSize = 6;  // wLength, wValueLength, wType
constexpr std::uint32_t kFixedFileInfoSignature = 0xFEEF04BD;
constexpr std::uint32_t kFixedFileInfoStrucVersion = 0x00010000;

std::size_t AlignUp4(std::size_t offset) { return (offset + 3) & ~static_cast<std::size_t>(3); }

std::uint16_t ReadU16(std::span<const std::uint8_t> block, std::size_t offset) {
  return static_cast<std::uint16_t>(block[offset] | (block[offset + 1] << 8));
}

// ---- building ----

class BlockWriter {
 public:
  void U16(std::uint16_t value) {
    bytes_.push_back(static_cast<std::uint8_t>(value & 0xFF));
    bytes_.push_back(static_cast<std::uint8_t>(value >> 8));
  }
  void U32(std::uint32_t value) {
    U16(static_cast<std::uint16_t>(value & 0xFFFF));
    U16(static_cast<std::uint16_t>(value >> 16));
  }
  // The text in UTF-16 followed by a NUL.
  void Text(std::string_view text) {
    for (char c : text) {
      U16(Cp1252ToUnicode(static_cast<unsigned char>(c)));
    }
    U16(0);
  }
  void Align() { bytes_.resize(AlignUp4(bytes_.size()), 0); }
  std::size_t Size() const { return bytes_.size(); }

  // Opens a node at the next 32-bit boundary and returns its start.
  std::size_t Begin(std::string_view key, std::uint16_t valueLength, std::uint16_t type) {
    Align();
    const std::size_t start = bytes_.size();
    U16(0);  // wLength, set by End
    U16(valueLength);
    U16(type);
    Text(key);
    Align();
    return start;
  }
  void End(std::size_t start) {
    const std::size_t length = bytes_.size() - start;
    if (length > std::numeric_limits<std::uint16_t>::max()) {
      throw std::length_error("version block too large");
    }
    bytes_[start] = static_cast<std::uint8_t>(length & 0xFF);
    bytes_[start + 1] = static_cast<std::uint8_t>(length >> 8);
  }

  std::vector<std::uint8_t> Take() { return std::move(bytes_); }

 private:
  std::vector<std::uint8_t> bytes_;
};

std::uint16_t CheckedLength(std::size_t length) {
  if (length > std::numeric_limits<std::uint16_t>::max()) {
    throw std::length_error("version value too long");
  }
  return static_cast<std::uint16_t>(length);
}

// ---- reading ----

struct Node {
  std::size_t end = 0;  // one past the node's last byte
  std::uint16_t valueLength = 0;
  std::uint16_t type = 0;
  std::size_t keyStart = 0;
  std::size_t keyUnits = 0;  // UTF-16 units of the key, without its NUL
  std::size_t valueStart = 0;
  std::size_t childrenStart = 0;
};

// The node at start, which must lie within [start, limit). No value when its
// header or key does not fit.
std::optional<Node> ReadNode(std::span<const std::uint8_t> block, std::size_t start, std::size_t limit) {
  if (start > limit || limit - start < kNodeHeaderSize) {
    return std::nullopt;
  }
  const std::uint16_t length = ReadU16(block, start);
  if (length < kNodeHeaderSize || length > limit - start) {
    return std::nullopt;
  }
  Node node;
  node.end = start + length;
  node.valueLength = ReadU16(block, start + 2);
  node.type = ReadU16(block, start + 4);
  node.keyStart = start + kNodeHeaderSize;
  std::size_t offset = node.keyStart;
  while (true) {
    if (node.end - offset < 2) {
      return std::nullopt;  // the key runs out of the node
    }
    if (ReadU16(block, offset) == 0) {
      break;
    }
    offset += 2;
  }
  node.keyUnits = (offset - node.keyStart) / 2;
  node.valueStart = AlignUp4(offset + 2);
  const std::size_t valueBytes =
      node.type != kBinaryNode ? static_cast<std::size_t>(node.valueLength) * 2 : node.valueLength;
  node.childrenStart = AlignUp4(node.valueStart + valueBytes);
  return node;
}

char16_t FoldAscii(char16_t c) {
  return (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - u'a' + u'A') : c;
}

bool KeyMatches(std::span<const std::uint8_t> block, const Node& node, std::string_view component) {
  if (node.keyUnits != component.size()) {
    return false;
  }
  for (std::size_t i = 0; i < node.keyUnits; ++i) {
    const char16_t stored = ReadU16(block, node.keyStart + 2 * i);
    const char16_t wanted = Cp1252ToUnicode(static_cast<unsigned char>(component[i]));
    if (FoldAscii(stored) != FoldAscii(wanted)) {
      return false;
    }
  }
  return true;
}

std::optional<Node> FindChild(std::span<const std::uint8_t> block, const Node& parent,
                              std::string_view component) {
  std::size_t offset = parent.childrenStart;
  while (offset < parent.end) {
    const std::optional<Node> child = ReadNode(block, offset, parent.end);
    if (!child) {
      return std::nullopt;
    }
    if (KeyMatches(block, *child, component)) {
      return child;
    }
    offset = AlignUp4(child->end);
  }
  return std::nullopt;
}

VersionValue ValueOf(std::span<const std::uint8_t> block, const Node& node) {
  VersionValue value;
  value.length = node.valueLength;
  const std::size_t available = node.valueStart < node.end ? node.end - node.valueStart : 0;
  if (node.type != kBinaryNode) {
    const std::size_t units = std::min<std::size_t>(node.valueLength, available / 2);
    value.data.reserve(units);
    for (std::size_t i = 0; i < units; ++i) {
      const char16_t c = ReadU16(block, node.valueStart + 2 * i);
      const std::optional<unsigned char> byte = UnicodeToCp1252(c);
      value.data.push_back(static_cast<char>(byte ? *byte : '?'));
    }
  } else {
    const std::size_t bytes = std::min<std::size_t>(node.valueLength, available);
    value.data.assign(reinterpret_cast<const char*>(block.data() + node.valueStart), bytes);
  }
  return value;
}

}  // namespace

std::vector<std::uint8_t> BuildVersionBlock(const VersionBlockData& data) {
  BlockWriter out;
  const std::size_t root = out.Begin(
      "VS_VERSION_INFO", data.fixedInfo ? static_cast<std::uint16_t>(kFixedFileInfoSize) : 0, kBinaryNode);
  if (data.fixedInfo) {
    const FixedFileInfo& f = *data.fixedInfo;
    for (std::uint32_t field :
         {kFixedFileInfoSignature, kFixedFileInfoStrucVersion, f.fileVersionMS, f.fileVersionLS,
          f.productVersionMS, f.productVersionLS, f.fileFlagsMask, f.fileFlags, f.fileOS, f.fileType,
          f.fileSubtype, f.fileDateMS, f.fileDateLS}) {
      out.U32(field);
    }
  }
  if (!data.stringTables.empty()) {
    const std::size_t info = out.Begin("StringFileInfo", 0, kTextNode);
    for (const VersionStringTable& table : data.stringTables) {
      const std::size_t tableStart = out.Begin(table.name, 0, kTextNode);
      for (const auto& [key, text] : table.strings) {
        const std::size_t entry = out.Begin(key, CheckedLength(text.size() + 1), kTextNode);
        out.Text(text);
        out.End(entry);
      }
      out.End(tableStart);
    }
    out.End(info);
  }
  if (data.translations) {
    const std::size_t info = out.Begin("VarFileInfo", 0, kTextNode);
    const std::size_t var =
        out.Begin("Translation", CheckedLength(data.translations->size() * 4), kBinaryNode);
    for (const VersionTranslation& t : *data.translations) {
      out.U16(t.language);
      out.U16(t.codePage);
    }
    out.End(var);
    out.End(info);
  }
  out.End(root);
  return out.Take();
}

std::optional<VersionValue> QueryVersionBlock(std::span<const std::uint8_t> block,
                                              std::string_view subBlock) {
  std::optional<Node> node = ReadNode(block, 0, block.size());
  if (!node) {
    return std::nullopt;
  }
  std::size_t pos = 0;
  while (pos < subBlock.size()) {
    if (subBlock[pos] == '\\') {
      ++pos;
      continue;
    }
    std::size_t next = subBlock.find('\\', pos);
    if (next == std::string_view::npos) {
      next = subBlock.size();
    }
    node = FindChild(block, *node, subBlock.substr(pos, next - pos));
    if (!node) {
      return std::nullopt;
    }
    pos = next;
  }
  return ValueOf(block, *node);
}

VersionBlockStore::VersionBlockStore(std::vector<std::uint8_t> block) : block_(std::move(block)) {}

std::uint32_t VersionBlockStore::FileVersionInfoSize() const {
  return static_cast<std::uint32_t>(
      std::min<std::size_t>(block_.size(), std::numeric_limits<std::uint32_t>::max()));
}

bool VersionBlockStore::FileVersionInfo(std::span<std::uint8_t> block) const {
  const std::size_t count = std::min(block.size(), block_.size());
  std::copy_n(block_.begin(), count, block.begin());
  return true;
}

std::optional<VersionValue> VersionBlockStore::QueryValue(std::span<std::uint8_t> block,
                                                          std::string_view subBlock) const {
  return QueryVersionBlock(block, subBlock);
}

}  // namespace ordalyn
