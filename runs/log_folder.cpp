#include "runs/log_folder.h"

#include <algorithm>
#include <tuple>

namespace vantrel::runs {
namespace {

void PutDigits(std::u16string& out, unsigned value, int width) {
  std::u16string digits;
  do {
    digits.insert(digits.begin(), static_cast<char16_t>(u'0' + value % 10));
    value /= 10;
  } while (value != 0 || static_cast<int>(digits.size()) < width);
  out += digits;
}

bool IsDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

// A run of digits of exactly `width` (0: one to ten) at `at`, then `next` (u'\0' for none); moves `at` past both.
bool TakeDigits(std::u16string_view name, std::size_t& at, std::size_t width, char16_t next, std::uint64_t* value) {
  const std::size_t start = at;
  while (at < name.size() && IsDigit(name[at])) ++at;
  const std::size_t length = at - start;
  if (width ? length != width : (length == 0 || length > 10)) return false;
  if (value) {
    *value = 0;
    for (std::size_t i = start; i < at; ++i) *value = *value * 10 + static_cast<unsigned>(name[i] - u'0');
  }
  if (next == u'\0') return true;
  if (at >= name.size() || name[at] != next) return false;
  ++at;
  return true;
}

bool EndsWithLog(std::u16string_view rest) {
  if (rest.size() != 4 || rest[0] != u'.') return false;
  const char16_t* letters = u"log";
  for (std::size_t i = 0; i < 3; ++i)
    if ((rest[i + 1] | 0x20) != letters[i]) return false;
  return true;
}

struct Parsed {
  std::u16string_view time;  // "YYYYMMDD-HHMMSS-mmm", which sorts as text
  std::uint64_t processId = 0, sequence = 0;
};

bool Parse(std::u16string_view name, Parsed& parsed) {
  std::size_t at = 0;
  if (!TakeDigits(name, at, 8, u'-', nullptr) || !TakeDigits(name, at, 6, u'-', nullptr) ||
      !TakeDigits(name, at, 3, u'-', nullptr))
    return false;
  parsed.time = name.substr(0, at - 1);
  if (!TakeDigits(name, at, 0, u'-', &parsed.processId) || !TakeDigits(name, at, 0, u'\0', &parsed.sequence))
    return false;
  return EndsWithLog(name.substr(at));
}

}  // namespace

std::u16string RunLogName(const LocalTime& time, std::uint32_t processId, std::uint32_t sequence) {
  std::u16string name;
  PutDigits(name, std::min(time.year, 9999u), 4);
  PutDigits(name, std::min(time.month, 99u), 2);
  PutDigits(name, std::min(time.day, 99u), 2);
  name += u'-';
  PutDigits(name, std::min(time.hour, 99u), 2);
  PutDigits(name, std::min(time.minute, 99u), 2);
  PutDigits(name, std::min(time.second, 99u), 2);
  name += u'-';
  PutDigits(name, std::min(time.millisecond, 999u), 3);
  name += u'-';
  PutDigits(name, processId, 1);
  name += u'-';
  PutDigits(name, sequence, 1);
  name += u".log";
  return name;
}

bool IsRunLogName(std::u16string_view name) {
  Parsed parsed;
  return Parse(name, parsed);
}

std::vector<std::u16string> RunLogsToDelete(std::span<const std::u16string> names, std::size_t keep) {
  struct Log {
    Parsed key;
    const std::u16string* name;
  };
  std::vector<Log> logs;
  for (const std::u16string& name : names) {
    Parsed parsed;
    if (Parse(name, parsed)) logs.push_back({parsed, &name});
  }
  if (logs.size() <= keep) return {};
  std::sort(logs.begin(), logs.end(), [](const Log& a, const Log& b) {
    return std::tie(a.key.time, a.key.sequence, a.key.processId, *a.name) <
           std::tie(b.key.time, b.key.sequence, b.key.processId, *b.name);
  });
  std::vector<std::u16string> doomed;
  for (std::size_t i = 0; i + keep < logs.size(); ++i) doomed.push_back(*logs[i].name);
  return doomed;
}

}  // namespace vantrel::runs
