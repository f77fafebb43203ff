#include "report/callfollow.h"

#include <memory>
#include <optional>
#include <ostream>
#include <vector>

#include "report/followfile.h"
#include "util/endrequest.h"

namespace ordalyn::report {

namespace {

constexpr const char* kProgram = "ordalyn-calls";

// The reader of one trace, its calls written as they end.
std::unique_ptr<TraceReader> CallWriter(const FollowSettings& settings, std::ostream& out,
                                        JsonLineWriter& jsonLines) {
  auto reader = std::make_unique<TraceReader>(false, settings.encoding);
  reader->StreamCalls([&settings, &out, &jsonLines](const Call& call, bool utf8) {
    if (!Admits(settings.filter, call)) {
      return;
    }
    switch (settings.form) {
      case CallForm::kTable:
        WriteTableRow(out, call, utf8);
        break;
      case CallForm::kCsv:
        WriteCsvRow(out, call, utf8);
        break;
      case CallForm::kJsonLines:
        jsonLines.Write(out, call, utf8);
        break;
    }
  });
  return reader;
}

// Why the file at the name holds a new trace now; none while it is the one
// being read and has not shrunk below what was read.
const char* Replaced(const FileState& atName, const FollowedFile& file, std::uint64_t read) {
  const std::optional<FileState> open = file.State();
  if (!open) {
    return nullptr;
  }
  if (!(atName.identity == open->identity)) {
    return "a new file";
  }
  return open->size < read ? "emptied and written anew" : nullptr;
}

}  // namespace

int FollowCalls(const FollowSettings& settings, std::ostream& out, std::ostream& err) {
  std::string error;
  std::unique_ptr<FollowedFile> file = OpenFollowed(settings.file, error);
  if (!file) {
    err << kProgram << ": cannot read \"" << settings.file << "\": " << error << "\n";
    return 2;
  }
  if (settings.form == CallForm::kTable) {
    WriteTableHeading(out);
  } else if (settings.form == CallForm::kCsv) {
    WriteCsvHeading(out);
  }
  out.flush();
  JsonLineWriter jsonLines;
  std::unique_ptr<TraceReader> reader = CallWriter(settings, out, jsonLines);
  const auto newTrace = [&](const char* why) {
    err << kProgram << ": \"" << settings.file << "\" holds a new trace (" << why
        << "); the calls still open in the old one were written as still open\n";
    err.flush();
  };
  std::uint64_t read = 0;
  // The old trace ends (its calls still open are written as still open); a
  // new reader takes what comes.
  const auto startOver = [&] {
    reader->EndInput();
    reader->Finish();
    reader = CallWriter(settings, out, jsonLines);
    read = 0;
  };
  std::vector<char> buffer(1 << 16);
  while (!EndRequested() && out) {
    if (!file) {
      // Gone: the next file by the name is the new trace.
      file = StateOf(settings.file) ? OpenFollowed(settings.file, error) : nullptr;
      if (!file) {
        PauseMilliseconds(settings.pollMilliseconds);
      }
      continue;
    }
    const long long got = file->Read(buffer.data(), buffer.size(), error);
    if (got < 0) {
      err << kProgram << ": cannot read \"" << settings.file << "\": " << error << "\n";
      return 2;
    }
    if (got > 0) {
      const std::uint64_t headers = reader->LaterHeadersSoFar();
      reader->Feed(std::string_view(buffer.data(), static_cast<std::size_t>(got)));
      read += static_cast<std::uint64_t>(got);
      // The reader ends the old trace's calls at the new header by itself.
      if (reader->LaterHeadersSoFar() > headers) {
        newTrace("a new log header");
      }
      continue;
    }
    out.flush();
    const std::optional<FileState> atName = StateOf(settings.file);
    if (!atName) {
      // Read to its end, and no file has its name any more (deleted or moved
      // away): let go of it, so that a new file may take the name (Windows
      // keeps the name of a deleted file while a reader holds it).
      startOver();
      file.reset();
      err << kProgram << ": \"" << settings.file
          << "\" is gone; the calls still open in it were written as still open, and a new file by that "
             "name will be followed\n";
      err.flush();
      continue;
    }
    if (const char* why = Replaced(*atName, *file, read)) {
      std::unique_ptr<FollowedFile> next = OpenFollowed(settings.file, error);
      if (next) {
        startOver();
        file = std::move(next);
        newTrace(why);
        continue;
      }
    }
    PauseMilliseconds(settings.pollMilliseconds);
  }
  reader->Finish();  // without EndInput: a line still being written is no cut line
  out.flush();
  if (!out) {
    err << kProgram << ": cannot write the calls\n";
    return 2;
  }
  return 0;
}

}  // namespace ordalyn::report
