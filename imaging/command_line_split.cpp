#include "imaging/command_line_split.h"

namespace vantrel::imaging {
namespace {

bool IsSeparator(char16_t c) { return c == u' ' || c == u'\t'; }

}  // namespace

std::vector<std::u16string> SplitCommandLine(std::u16string_view line) {
  std::vector<std::u16string> argv;
  std::size_t pos = 0;

  // Program name.
  {
    std::u16string name;
    bool inQuotes = false;
    for (; pos < line.size(); ++pos) {
      const char16_t c = line[pos];
      if (c == u'"') {
        inQuotes = !inQuotes;
      } else if (!inQuotes && IsSeparator(c)) {
        break;
      } else {
        name.push_back(c);
      }
    }
    argv.push_back(std::move(name));
  }

  // Arguments.
  for (;;) {
    while (pos < line.size() && IsSeparator(line[pos])) ++pos;
    if (pos >= line.size()) break;

    std::u16string arg;
    bool inQuotes = false;
    while (pos < line.size()) {
      const char16_t c = line[pos];
      if (!inQuotes && IsSeparator(c)) break;

      if (c == u'\\') {
        std::size_t backslashes = 0;
        while (pos < line.size() && line[pos] == u'\\') {
          ++backslashes;
          ++pos;
        }
        if (pos < line.size() && line[pos] == u'"') {
          arg.append(backslashes / 2, u'\\');
          if (backslashes % 2 == 1) {
            arg.push_back(u'"');  // escaped quote
            ++pos;
          }
          // An even count leaves the quote to the next round, where it opens or closes quoting.
        } else {
          arg.append(backslashes, u'\\');
        }
        continue;
      }

      if (c == u'"') {
        if (inQuotes && pos + 1 < line.size() && line[pos + 1] == u'"') {
          arg.push_back(u'"');  // "" inside quotes
          pos += 2;
        } else {
          inQuotes = !inQuotes;
          ++pos;
        }
        continue;
      }

      arg.push_back(c);
      ++pos;
    }
    argv.push_back(std::move(arg));
  }
  return argv;
}

}  // namespace vantrel::imaging
