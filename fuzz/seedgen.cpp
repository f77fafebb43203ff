// Writes the seed inputs of the binary-input fuzzers (callinfo, linequery,
// commandline, versionblock) into <directory>/<target>/, laid out as the
// targets read them. The scenario fuzzer's seeds are JSON files kept by hand.
//
//   ordalyn_fuzz_seeds fuzz/corpus
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <iostream>
#include <string>
#include <utility>
#include <vector>

#include "fuzzinput.h"
#include "tapi/tapidefs.h"
#include "widgets/versionblock.h"
#include "widgets/versionproduct.h"

namespace ordalyn::fuzz {
namespace {

namespace fs = std::filesystem;

void Write(const fs::path& directory, const std::string& target, const std::string& name,
           const std::vector<std::uint8_t>& bytes) {
  const fs::path folder = directory / target;
  fs::create_directories(folder);
  std::ofstream out(folder / name, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + (folder / name).string());
}

// A variable-size block: fields at their offsets, texts appended after the
// fixed part with their size and offset fields set.
class Block {
 public:
  explicit Block(std::size_t fixedSize) : bytes_(fixedSize, 0) {}
  Block& Field(std::size_t offset, DWORD value) {
    std::memcpy(bytes_.data() + offset, &value, sizeof value);
    return *this;
  }
  Block& Text(std::size_t sizeField, std::size_t offsetField, const std::string& text) {
    Field(offsetField, static_cast<DWORD>(bytes_.size()));
    Field(sizeField, static_cast<DWORD>(text.size() + 1));
    bytes_.insert(bytes_.end(), text.begin(), text.end());
    bytes_.push_back(0);
    return *this;
  }
  std::vector<std::uint8_t> Bytes() {
    Field(0, static_cast<DWORD>(bytes_.size()));
    Field(4, static_cast<DWORD>(bytes_.size()));
    Field(8, static_cast<DWORD>(bytes_.size()));
    return bytes_;
  }

 private:
  std::vector<std::uint8_t> bytes_;
};

// A block answer: result, dwNeededSize, flags, and the bytes.
void Answer(InputWriter& w, LONG result, DWORD needed, std::uint8_t flags,
            const std::vector<std::uint8_t>& bytes) {
  w.U32(static_cast<std::uint32_t>(result))
      .U32(needed)
      .U8(flags)
      .U16(static_cast<std::uint16_t>(bytes.size()));
  w.Bytes(bytes);
}

// What a provider answers for a block that needs more room, then the block.
void TwoAnswers(InputWriter& w, const std::vector<std::uint8_t>& full, std::size_t fixedSize) {
  if (full.size() <= fixedSize) {
    Answer(w, 0, static_cast<DWORD>(full.size()), 0, full);
    return;
  }
  Answer(w, 0, static_cast<DWORD>(full.size()), 0, std::vector<std::uint8_t>(12, 0));
  Answer(w, 0, static_cast<DWORD>(full.size()), 0, full);
}

struct Party {
  std::string callerId, callerName, calledId, calledName, connectedId, connectedName;
  DWORD origin = 0;
  DWORD reason = 0;
};

std::vector<std::uint8_t> CallInfoBlock(const Party& p) {
  Block b(sizeof(LINECALLINFO));
  b.Field(offsetof(LINECALLINFO, dwOrigin), p.origin).Field(offsetof(LINECALLINFO, dwReason), p.reason);
  const auto text = [&b](std::size_t size, std::size_t offset, const std::string& t) {
    if (!t.empty()) b.Text(size, offset, t);
  };
  text(offsetof(LINECALLINFO, dwCallerIDSize), offsetof(LINECALLINFO, dwCallerIDOffset), p.callerId);
  text(offsetof(LINECALLINFO, dwCallerIDNameSize), offsetof(LINECALLINFO, dwCallerIDNameOffset),
       p.callerName);
  text(offsetof(LINECALLINFO, dwCalledIDSize), offsetof(LINECALLINFO, dwCalledIDOffset), p.calledId);
  text(offsetof(LINECALLINFO, dwCalledIDNameSize), offsetof(LINECALLINFO, dwCalledIDNameOffset),
       p.calledName);
  text(offsetof(LINECALLINFO, dwConnectedIDSize), offsetof(LINECALLINFO, dwConnectedIDOffset), p.connectedId);
  text(offsetof(LINECALLINFO, dwConnectedIDNameSize), offsetof(LINECALLINFO, dwConnectedIDNameOffset),
       p.connectedName);
  return b.Bytes();
}

std::vector<std::uint8_t> DevCapsBlock(const std::string& name, DWORD media, DWORD bearer) {
  Block b(sizeof(LINEDEVCAPS));
  b.Field(offsetof(LINEDEVCAPS, dwMediaModes), media).Field(offsetof(LINEDEVCAPS, dwBearerModes), bearer);
  if (!name.empty())
    b.Text(offsetof(LINEDEVCAPS, dwLineNameSize), offsetof(LINEDEVCAPS, dwLineNameOffset), name);
  return b.Bytes();
}

void Message(InputWriter& w, std::uint8_t flags, DWORD message, std::uint64_t p1, std::uint64_t p2,
             std::uint64_t p3) {
  w.U8(flags).U32(message).U64(p1).U64(p2).U64(p3);
}

// A provider that writes a dwTotalSize of 0 together with a dwNeededSize of 16:
// the block is grown to 16 bytes, fetched again, and must still be read
// within those 16 bytes.
void ScribbledTotalSize(InputWriter& w) {
  Answer(w, 0, 16, 1, std::vector<std::uint8_t>(4, 0));
  Answer(w, 0, 16, 0, {});
}

void CallInfoSeeds(const fs::path& dir) {
  const std::string target = "callinfo";
  constexpr DWORD kCall = 0x00010A2C;
  Party offering;
  offering.calledId = "200";
  offering.origin = 0x4;
  offering.reason = 0x1;
  Party withCaller = offering;
  withCaller.callerId = " 5550100 ";
  withCaller.callerName = "Miller, Anne";
  Party connected = withCaller;
  connected.connectedId = "5550100";
  Party nameOnly;
  nameOnly.callerId = "   ";
  nameOnly.callerName = " Reception Desk ";
  nameOnly.calledName = " Front Desk ";
  nameOnly.origin = 0x2;

  {  // One call from LINE_APPNEWCALL to CONNECTED.
    InputWriter w;
    w.U32(kCall);
    TwoAnswers(w, CallInfoBlock(withCaller), sizeof(LINECALLINFO));
    Message(w, 0, LINE_APPNEWCALL, 0, kCall, 0x2);
    Message(w, 0, LINE_CALLSTATE, 0x2, 0x1, 0);
    TwoAnswers(w, CallInfoBlock(offering), sizeof(LINECALLINFO));
    Message(w, 0, LINE_CALLINFO, 0x8000, 0, 0);
    TwoAnswers(w, CallInfoBlock(withCaller), sizeof(LINECALLINFO));
    Message(w, 0, LINE_LINEDEVSTATE, 0x2, 0, 1);
    Message(w, 0, LINE_CALLSTATE, 0x100, 0x1, 0);
    TwoAnswers(w, CallInfoBlock(connected), sizeof(LINECALLINFO));
    Message(w, 2, LINE_CALLSTATE, 0x1, 0, 0);
    Answer(w, 0, sizeof(LINECALLINFO), 0, std::vector<std::uint8_t>(12, 0));
    Write(dir, target, "one-call", w.Data());
  }
  {  // Names as fallbacks, blanks around them, unknown states and modes.
    InputWriter w;
    w.U32(0x7F000001);
    TwoAnswers(w, CallInfoBlock(nameOnly), sizeof(LINECALLINFO));
    Message(w, 0, LINE_APPNEWCALL, 0, 0xFFFFFFFF7F000001ull, 0x2);
    Message(w, 0, LINE_CALLSTATE, 0x40000000, 0x1234, 0);
    TwoAnswers(w, CallInfoBlock(nameOnly), sizeof(LINECALLINFO));
    Message(w, 0, LINE_CALLINFO, 0xFFFFFFFF, 0, 0);
    TwoAnswers(w, CallInfoBlock(nameOnly), sizeof(LINECALLINFO));
    Message(w, 0, 0x12345678, 1, 2, 3);
    Write(dir, target, "names-and-unknowns", w.Data());
  }
  {  // Failing queries, an implausible dwNeededSize, a failing sink.
    InputWriter w;
    w.U32(0);
    Answer(w, LINEERR_INVALCALLHANDLE, 0, 0, {});
    Message(w, 0, LINE_CALLSTATE, 0x1, 0, 0);
    Answer(w, 0, 0x7FFFFFFF, 0, std::vector<std::uint8_t>(12, 0));
    Message(w, 1, LINE_CALLINFO, 0x8000, 0, 0);
    Answer(w, LINEERR_OPERATIONFAILED, 400, 0, std::vector<std::uint8_t>(12, 0));
    Answer(w, LINEERR_INVALCALLHANDLE, 0, 0, {});
    Message(w, 0, LINE_CLOSE, 0, 0, 0);
    Write(dir, target, "failures", w.Data());
  }
  {  // Offsets and sizes that point outside the block, texts without NUL.
    InputWriter w;
    w.U32(kCall);
    std::vector<std::uint8_t> odd = CallInfoBlock(withCaller);
    const auto put = [&odd](std::size_t offset, DWORD value) { std::memcpy(odd.data() + offset, &value, 4); };
    put(offsetof(LINECALLINFO, dwCallerIDOffset), 0xFFFFFFF0);
    put(offsetof(LINECALLINFO, dwCalledIDOffset), static_cast<DWORD>(odd.size() - 1));
    put(offsetof(LINECALLINFO, dwConnectedIDSize), 0x100);
    put(offsetof(LINECALLINFO, dwConnectedIDOffset), static_cast<DWORD>(odd.size()));
    odd.back() = 'X';
    TwoAnswers(w, odd, sizeof(LINECALLINFO));
    Message(w, 2, LINE_CALLSTATE, 0x4000, 0x20, 0);
    Answer(w, 0, 0xFFFF, 1, odd);
    Write(dir, target, "outside-the-block", w.Data());
  }
  {
    InputWriter w;
    w.U32(1);
    ScribbledTotalSize(w);
    Write(dir, target, "regress-scribbled-total-size", w.Data());
  }
}

void LineQuerySeeds(const fs::path& dir) {
  const std::string target = "linequery";
  const std::vector<std::uint8_t> office = DevCapsBlock("Office Extension 214", 0xC, 0x1);
  const std::vector<std::uint8_t> fax = DevCapsBlock("Sample Fax Modem", 0x30, 0x3);
  const std::vector<std::uint8_t> wave = DevCapsBlock("Wave Line 1", 0xE, 0x1);
  for (bool longForm : {true, false}) {
    InputWriter w;
    // The direct query.
    w.U32(0x00010001).U32(3).U8(0);
    w.U32(0).U32(0x00020002);
    TwoAnswers(w, office, sizeof(LINEDEVCAPS));
    // The inventory: four lines, one failing negotiation, one failing capabilities.
    w.U8(longForm ? 1 : 0);
    w.U32(0).U16(4).U32(0x00030001);
    w.U32(0).U32(0x00020002);
    TwoAnswers(w, fax, sizeof(LINEDEVCAPS));
    w.U32(static_cast<std::uint32_t>(LINEERR_INCOMPATIBLEAPIVERSION)).U32(0);
    w.U8(1).Text8("The application requested an API version or version range that cannot be supported.\r\n");
    w.U32(0).U32(0x00020000);
    Answer(w, LINEERR_OPERATIONFAILED, 0, 0, {});
    w.U8(0);
    w.U32(0).U32(0x00020002);
    TwoAnswers(w, office, sizeof(LINEDEVCAPS));
    w.U32(0);  // shutdown
    // Logon and logoff of line 3.
    w.U32(3);
    w.U32(0).U16(4).U32(0x00030001);
    w.U32(0).U32(0x00020002);
    TwoAnswers(w, wave, sizeof(LINEDEVCAPS));
    w.U32(0);  // open
    w.U32(0);  // shutdown
    // One more result line.
    w.U32(static_cast<std::uint32_t>(LINEERR_OPERATIONFAILED));
    w.U8(0);
    Write(dir, target, longForm ? "inventory-long" : "inventory-short", w.Data());
  }
  {  // Failures everywhere and an implausible dwNeededSize.
    InputWriter w;
    w.U32(0).U32(0xFFFFFFFF).U8(1);
    w.U32(0).U32(0x00010003);
    Answer(w, 0, 0x40000000, 0, std::vector<std::uint8_t>(12, 0));
    w.U8(1);
    w.U32(static_cast<std::uint32_t>(LINEERR_NOMEM)).U16(0).U32(0);
    w.U32(0);
    w.U32(0xFFFFFFFF);
    w.U32(static_cast<std::uint32_t>(LINEERR_INIFILECORRUPT)).U16(0).U32(0);
    w.U32(static_cast<std::uint32_t>(LINEERR_NODEVICE)).U32(0);
    w.U32(static_cast<std::uint32_t>(LINEERR_BADDEVICEID));
    w.U32(static_cast<std::uint32_t>(LINEERR_INVALAPPHANDLE));
    w.U32(0x90000001);
    w.U8(1).Text8("");
    Write(dir, target, "failures", w.Data());
  }
  {  // A name without NUL at the block's end; many devices and a short input.
    InputWriter w;
    std::vector<std::uint8_t> odd = DevCapsBlock("Unterminated", 0x184, 0x7);
    odd.back() = '!';
    w.U32(1).U32(0).U8(0);
    w.U32(0).U32(0x00020002);
    TwoAnswers(w, odd, sizeof(LINEDEVCAPS));
    w.U8(1);
    w.U32(0).U16(0xFFFF).U32(0x00020002);
    Write(dir, target, "unterminated-many-lines", w.Data());
  }
  {
    InputWriter w;
    w.U32(1).U32(0).U8(0);
    w.U32(0).U32(0x00020002);
    ScribbledTotalSize(w);
    Write(dir, target, "regress-scribbled-total-size", w.Data());
  }
}

void CommandLineSeeds(const fs::path& dir) {
  const std::string target = "commandline";
  struct Seed {
    const char* name;
    std::uint8_t flags;
    std::initializer_list<int> clock;
    const char* computer;
    const char* pattern;
    const char* replacement;
    std::string text;
  };
  const Seed seeds[] = {
      {"background",
       0,
       {2024, 3, 5, 14, 7, 9, 123},
       "PBX7",
       "#date#",
       "2024-03-05",
       std::string("-3") + '\0' + "C:\\logs\\trace_#date#_#time#_#computer#.log"},
      {"macros-overlap",
       1,
       {1999, 12, 31, 23, 59, 59, 999},
       "",
       "#",
       "##",
       "#date#time#computer##da#computer#te#"},
      {"integers", 0, {0, 0, 0, 0, 0, 0, 0}, "host", "0x", "$", " -$7FFFFFFF"},
      {"switch", 0, {-1, -2147483647, 40, 99, 100, 0, 0}, "#date#", "aa", "a", "/2147483648"},
      {"hex-line", 0, {2025, 1, 1, 0, 0, 0, 0}, "A", "$", "0x", "-0x1F"},
  };
  for (const Seed& seed : seeds) {
    InputWriter w;
    w.U8(seed.flags);
    for (int value : seed.clock) w.U32(static_cast<std::uint32_t>(value));
    w.Text8(seed.computer).Text8(seed.pattern).Text8(seed.replacement).Raw(seed.text);
    Write(dir, target, seed.name, w.Data());
  }
}

void VersionBlockSeeds(const fs::path& dir) {
  const std::string target = "versionblock";
  const std::vector<std::uint8_t> product = BuildVersionBlock(ProductVersionData());
  {
    InputWriter w;
    w.U8(0).Text8("\\StringFileInfo\\040904E4\\FileVersion").Bytes(product);
    Write(dir, target, "product", w.Data());
  }
  {
    InputWriter w;
    w.U8(0)
        .Text8("040904E4")
        .Bytes(std::vector<std::uint8_t>(product.begin(), product.begin() + product.size() / 2));
    Write(dir, target, "product-cut", w.Data());
  }
  {  // A string node whose length runs past its table, and an odd value length.
    std::vector<std::uint8_t> damaged = product;
    for (std::size_t i = 0; i + 24 < damaged.size(); ++i) {
      if (damaged[i] == 'F' && damaged[i + 2] == 'i' && damaged[i + 4] == 'l' && damaged[i + 6] == 'e' &&
          damaged[i + 8] == 'V') {
        damaged[i - 6] = 0xFF;  // wLength of the FileVersion node
        damaged[i - 4] = 0x7F;  // wValueLength
        break;
      }
    }
    InputWriter w;
    w.U8(0).Text8("\\StringFileInfo\\040904e4\\fileversion").Bytes(damaged);
    Write(dir, target, "product-damaged", w.Data());
  }
  {  // Round trip: fixed information, translations and two tables.
    InputWriter w;
    w.U8(1 | 2 | 4);
    for (std::uint32_t value :
         {0x00010000u, 0x00000001u, 0x00010000u, 0u, 0x3Fu, 0x2Bu, 0x40004u, 1u, 0u, 0u, 0u}) {
      w.U32(value);
    }
    w.U8(2).U16(0x0409).U16(1252).U16(0x0407).U16(1252);
    w.U8(2);
    w.Text8("040904E4").U8(3);
    w.Text8("CompanyName").Text8("Marbleknot");
    w.Text8("FileVersion").Text8("1.0.0.1");
    w.Text8("companyname").Text8("second");
    w.Text8("040704e4").U8(2);
    w.Text8("Comments")
        .Text8(
            "Gr\xFC\xDF"
            "e \x80 \x81");
    w.Text8("").Text8("");
    Write(dir, target, "roundtrip", w.Data());
  }
  {  // Round trip without translations and with a NUL inside a value.
    InputWriter w;
    w.U8(1);
    w.U8(1);
    w.Text8("040904E4").U8(1);
    w.Text8("CompanyName").Text8(std::string("A\0B", 3));
    Write(dir, target, "roundtrip-no-translation", w.Data());
  }
}

}  // namespace
}  // namespace ordalyn::fuzz

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: ordalyn_fuzz_seeds <corpus directory>\n";
    return 2;
  }
  try {
    const std::filesystem::path dir = argv[1];
    ordalyn::fuzz::CallInfoSeeds(dir);
    ordalyn::fuzz::LineQuerySeeds(dir);
    ordalyn::fuzz::CommandLineSeeds(dir);
    ordalyn::fuzz::VersionBlockSeeds(dir);
  } catch (const std::exception& error) {
    std::cerr << error.what() << "\n";
    return 1;
  }
  return 0;
}
