#include "imaging/tool_choice.h"

#include "imaging/operation_report.h"

namespace vantrel::imaging {
namespace {

std::u16string Joined(std::u16string_view folder, std::u16string_view rest) {
  std::u16string path(folder);
  if (path.empty() || path.back() != u'\\') path.push_back(u'\\');
  path.append(rest);
  return path;
}

bool HasWhitespace(std::u16string_view text) {
  return text.find_first_of(u" \t\n\v") != std::u16string_view::npos;
}

// One word of a DISM command: a switch alone (field < 0), or a switch whose value is field `field`; an optional
// one is left out when its field is empty.
struct Word {
  std::u16string_view text;
  int field = -1;
  bool optional = false;
};

}  // namespace

DismPaths DismPlaces(std::u16string_view windowsFolder, bool wow64) {
  DismPaths places;
  places.shown = Joined(windowsFolder, u"System32\\Dism.exe");
  places.launch = wow64 ? Joined(windowsFolder, u"Sysnative\\Dism.exe") : places.shown;
  return places;
}

Tool ChooseTool(const ToolFacts& facts) {
  if (facts.imagexPresent) return Tool::Imagex;
  if (!facts.dismPresent) return Tool::None;
  const bool windows8OrLater = facts.major > 6 || (facts.major == 6 && facts.minor >= 2);
  return windows8OrLater ? Tool::Dism : Tool::DismWindows7;
}

bool CanRun(Tool tool, Operation op) {
  switch (tool) {
    case Tool::Imagex:
    case Tool::Dism:
      return true;
    case Tool::DismWindows7:
      // Nor export, split or delete: those came with DISM of Windows 8.
      return op == Operation::MountReadOnly || op == Operation::MountReadWrite ||
             op == Operation::UnmountDiscard || op == Operation::UnmountCommit || op == Operation::Remount ||
             op == Operation::Cleanup;
    case Tool::None:
      return false;
  }
  return false;
}

std::optional<std::uint16_t> ToolRefusal(Tool tool, Operation op, const std::vector<std::u16string>& args) {
  if (tool == Tool::None) return std::nullopt;
  if (!CanRun(tool, op)) return kMsgNeedsImagex;
  // imagex writes no ESD: neither a new one (recovery compression) nor an image added to one that exists.
  if (tool == Tool::Imagex && op == Operation::Export &&
      ((args.size() > 4 && args[4] == kCompressRecovery) || (args.size() > 2 && IsEsdName(args[2]))))
    return kMsgImagexNoEsd;
  return std::nullopt;
}

std::u16string_view ToolName(Tool tool) { return tool == Tool::Imagex ? u"imagex" : u"DISM"; }

std::optional<std::u16string> DismArguments(Tool tool, Operation op, const std::vector<std::u16string>& args) {
  if (tool != Tool::Dism && tool != Tool::DismWindows7) return std::nullopt;
  if (!CanRun(tool, op)) return std::nullopt;
  const bool old = tool == Tool::DismWindows7;
  std::vector<Word> words;
  switch (op) {
    case Operation::MountReadOnly:
    case Operation::MountReadWrite:
      words = {{old ? u"/Mount-Wim" : u"/Mount-Image"}, {old ? u"/WimFile:" : u"/ImageFile:", 0},
               {u"/Index:", 1}, {u"/MountDir:", 2}};
      if (op == Operation::MountReadOnly) words.push_back({u"/ReadOnly"});
      break;
    case Operation::UnmountDiscard:
    case Operation::UnmountCommit:
      words = {{old ? u"/Unmount-Wim" : u"/Unmount-Image"}, {u"/MountDir:", 0},
               {op == Operation::UnmountCommit ? u"/Commit" : u"/Discard"}};
      break;
    case Operation::Apply:
      words = {{u"/Apply-Image"}, {u"/ImageFile:", 0}, {u"/SWMFile:", 3, true}, {u"/Index:", 1}, {u"/ApplyDir:", 2}};
      break;
    case Operation::Capture:
    case Operation::CaptureBoot:
      words = {{u"/Capture-Image"}, {u"/ImageFile:", 1}, {u"/CaptureDir:", 0}, {u"/Name:", 2}, {u"/Compress:max"}};
      if (op == Operation::CaptureBoot) words.push_back({u"/Bootable"});
      break;
    case Operation::Append:
      words = {{u"/Append-Image"}, {u"/ImageFile:", 1}, {u"/CaptureDir:", 0}, {u"/Name:", 2}};
      break;
    case Operation::Remount:
      words = {{old ? u"/Remount-Wim" : u"/Remount-Image"}, {u"/MountDir:", 0}};
      break;
    case Operation::Cleanup:
      words = {{old ? u"/Cleanup-Wim" : u"/Cleanup-Mountpoints"}};
      break;
    case Operation::Export: {
      // DISM keeps the source image's name; the compression is DISM's word for it.
      const std::u16string_view compress = args.size() > 4 ? std::u16string_view(args[4]) : std::u16string_view();
      words = {{u"/Export-Image"}, {u"/SourceImageFile:", 0}, {u"/SWMFile:", 5, true}, {u"/SourceIndex:", 1},
               {u"/DestinationImageFile:", 2}};
      if (compress == kCompressMaximum) words.push_back({u"/Compress:max"});
      if (compress == kCompressRecovery) words.push_back({u"/Compress:recovery"});
      words.push_back({u"/CheckIntegrity"});
      break;
    }
    case Operation::Split:
      words = {{u"/Split-Image"}, {u"/ImageFile:", 0}, {u"/SWMFile:", 1}, {u"/FileSize:", 2}};
      break;
    case Operation::Delete:
      words = {{u"/Delete-Image"}, {u"/ImageFile:", 0}, {u"/Index:", 1}, {u"/CheckIntegrity"}};
      break;
  }
  std::u16string out;
  for (const Word& word : words) {
    const auto given = static_cast<std::size_t>(word.field);
    if (word.optional && (given >= args.size() || args[given].empty())) continue;
    if (!out.empty()) out.push_back(u' ');
    out.append(word.text);
    // A missing field counts as empty, as an empty box does.
    if (word.field >= 0 && static_cast<std::size_t>(word.field) < args.size())
      out.append(QuoteArgument(args[static_cast<std::size_t>(word.field)]));
  }
  return out;
}

std::optional<CommandLine> ComposeDism(const DismPaths& places, Tool tool, Operation op,
                                       const std::vector<std::u16string>& args) {
  std::optional<std::u16string> arguments = DismArguments(tool, op, args);
  if (!arguments) return std::nullopt;
  CommandLine command;
  command.application = places.launch;
  // A Windows path cannot hold a double quote, so the quoted program token needs nothing escaped.
  const bool quote = HasWhitespace(places.shown);
  if (quote) command.line.push_back(u'"');
  command.line.append(places.shown);
  if (quote) command.line.push_back(u'"');
  command.line.push_back(u' ');
  command.line.append(*arguments);
  command.show = ShowStyle(op);
  return command;
}

std::u16string ToolDescription(Tool tool, Operation op, std::u16string_view application,
                               const std::function<std::u16string(std::uint16_t)>& text) {
  if (tool == Tool::None) return text(kTipNoTool);
  if (!CanRun(tool, op)) return text(kMsgNeedsImagex);
  return FillIn(text(kTipToolRuns), {ToolName(tool), application});
}

}  // namespace vantrel::imaging
