#include "imaging/imaging_commands.h"

namespace vantrel::imaging {
namespace {

// Characters that make a field need quoting. The C runtime splits only on space and tab; line
// feed and vertical tab are quoted as well, which costs nothing and keeps odd text in one piece.
bool IsWhitespace(char16_t c) { return c == u' ' || c == u'\t' || c == u'\n' || c == u'\v'; }

bool ContainsWhitespace(std::u16string_view text) {
  for (char16_t c : text) {
    if (IsWhitespace(c)) return true;
  }
  return false;
}

}  // namespace

std::u16string_view Prefix(Operation op) {
  switch (op) {
    case Operation::MountReadOnly:
      return u"imagex /mount ";
    case Operation::MountReadWrite:
      return u"imagex /mountrw ";
    case Operation::UnmountDiscard:
      return u"imagex /unmount ";
    case Operation::UnmountCommit:
      return u"imagex /unmount /commit ";
    case Operation::Apply:
      return u"imagex /apply ";
    case Operation::Capture:
      return u"imagex /capture /compress maximum ";
    case Operation::CaptureBoot:
      return u"imagex /capture /boot /compress maximum ";
    case Operation::Append:
      return u"imagex /append ";
    case Operation::Remount:
      return u"imagex /remount ";
    case Operation::Cleanup:
      return u"imagex /cleanup ";
    case Operation::Export:
      return u"imagex /export ";
    case Operation::Split:
      return u"imagex /split ";
    case Operation::Delete:
      return u"imagex /delete ";
  }
  return u"imagex ";  // not reached: every operation is listed above
}

int ShowStyle(Operation op) { return op == Operation::Capture ? kShowNormal : kShowMinimized; }

namespace {

// A field the user wrapped in double quotes ("Copy as path" gives "D:\"), holding no other quote.
bool IsWrappedInQuotes(std::u16string_view field) {
  return field.size() >= 2 && field.front() == u'"' && field.back() == u'"' &&
         field.find(u'"', 1) == field.size() - 1;
}

}  // namespace

std::u16string QuoteArgument(std::u16string_view field) {
  if (IsWrappedInQuotes(field)) {
    // The user's quotes stay; only the backslashes before the closing one are doubled, as below, so
    // that the closing quote closes instead of being read as a literal quote that runs into the fields
    // after it.
    std::u16string_view inner = field.substr(1, field.size() - 2);
    const std::size_t kept = inner.find_last_not_of(u'\\');
    const std::size_t trailing = inner.size() - (kept == std::u16string_view::npos ? 0 : kept + 1);
    std::u16string quoted(field.substr(0, field.size() - 1));
    quoted.append(trailing, u'\\');
    quoted.push_back(u'"');
    return quoted;
  }
  if (field.empty() || !ContainsWhitespace(field) ||
      field.find(u'"') != std::u16string_view::npos) {
    return std::u16string(field);
  }
  // Inside quotes, backslashes are literal unless a quote follows them. The field holds no quote,
  // so only the run of backslashes at its end meets one, the closing quote: n of them are written
  // as 2n, which the runtime reads back as n followed by the end of the argument.
  std::u16string quoted;
  quoted.reserve(field.size() + 4);
  quoted.push_back(u'"');
  std::size_t trailingBackslashes = 0;
  for (char16_t c : field) {
    quoted.push_back(c);
    trailingBackslashes = c == u'\\' ? trailingBackslashes + 1 : 0;
  }
  quoted.append(trailingBackslashes, u'\\');
  quoted.push_back(u'"');
  return quoted;
}

bool IsEsdName(std::u16string_view path) {
  constexpr std::u16string_view kEsd = u".esd";
  if (path.size() < kEsd.size()) return false;
  for (std::size_t i = 0; i < kEsd.size(); ++i) {
    char16_t c = path[path.size() - kEsd.size() + i];
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c + 32);
    if (c != kEsd[i]) return false;
  }
  return true;
}

std::u16string ExactArgument(std::u16string_view text) {
  if (!text.empty() && !ContainsWhitespace(text) && text.find(u'"') == std::u16string_view::npos)
    return std::u16string(text);
  std::u16string quoted(1, u'"');
  std::size_t backslashes = 0;
  for (char16_t c : text) {
    if (c == u'\\') {
      ++backslashes;
    } else {
      // Backslashes before a quote are doubled and the quote escaped; elsewhere they are literal.
      if (c == u'"') quoted.append(backslashes + 1, u'\\');
      backslashes = 0;
    }
    quoted.push_back(c);
  }
  quoted.append(backslashes, u'\\');
  quoted.push_back(u'"');
  return quoted;
}

namespace {

// The fields of `op` that are always on the line, in order; the rest are the optional ones after their switches.
std::size_t FixedFields(Operation op, std::size_t given) {
  switch (op) {
    case Operation::Apply:
      return given < 3 ? given : 3;
    case Operation::Export:
      return given < 4 ? given : 4;
    default:
      return given;
  }
}

struct Optional {
  std::u16string_view switchText;
  std::size_t field;
};

std::vector<Optional> OptionalFields(Operation op) {
  if (op == Operation::Apply) return {{u"/ref", 3}};
  if (op == Operation::Export) return {{u"/compress", 4}, {u"/ref", 5}};
  return {};
}

}  // namespace

CommandLine Compose(std::u16string_view programFolder, Operation op,
                    const std::vector<std::u16string>& args) {
  CommandLine result;

  result.application = std::u16string(programFolder);
  if (result.application.empty() || result.application.back() != u'\\') {
    result.application.push_back(u'\\');
  }
  result.application.append(kToolFileName);

  // The program name ends at the first space or tab outside quotes and takes no backslash
  // escapes, so the quoted token needs nothing inside it escaped (a Windows folder cannot hold
  // a double quote).
  const bool quoteTool = ContainsWhitespace(programFolder);
  if (quoteTool) result.line.push_back(u'"');
  result.line.append(programFolder);
  result.line.push_back(u'\\');
  result.line.append(kToolName);
  if (quoteTool) result.line.push_back(u'"');
  std::u16string_view switches = Prefix(op).substr(kToolName.size());
  if (args.empty()) switches.remove_suffix(1);  // "imagex /cleanup" ends without a blank
  result.line.append(switches);

  const std::size_t fixed = FixedFields(op, args.size());
  for (std::size_t i = 0; i < fixed; ++i) {
    if (i > 0) result.line.push_back(u' ');
    // The name an export gives is the source image's, read from its file, not typed.
    result.line.append(op == Operation::Export && i == 3 ? ExactArgument(args[i]) : QuoteArgument(args[i]));
  }
  for (const Optional& o : OptionalFields(op)) {
    if (o.field >= args.size() || args[o.field].empty()) continue;
    result.line.push_back(u' ');
    result.line.append(o.switchText);
    result.line.push_back(u' ');
    result.line.append(QuoteArgument(args[o.field]));
  }

  result.show = ShowStyle(op);
  return result;
}

}  // namespace vantrel::imaging
