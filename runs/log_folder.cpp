#include "runs/log_folder.h"

#include <algorithm>
#include <iterator>

namespace vantrel::runs {
namespace {

// The fixed-width time part of a name: '0' stands for a digit.
constexpr std::u16string_view kTimeForm = u"00000000-000000-000-";

bool IsDigit(char16_t c) {
  return c >= u'0' && c <= u'9';
}

void PutDigits(std::u16string& out, std::uint32_t value, std::size_t width) {
  char16_t digits[10];
  std::size_t count = 0;
  do {
    digits[count++] = static_cast<char16_t>(u'0' + value % 10);
    value /= 10;
  } while (value != 0 || count < width);
  while (count) out += digits[--count];
}

// The digits at `at`; `at` moves past them.
std::u16string_view TakeDigits(std::u16string_view name, std::size_t& at) {
  const std::size_t start = at;
  while (at < name.size() && IsDigit(name[at])) ++at;
  return name.substr(start, at - start);
}

// What a run log's name says of its age: the time text (which sorts as text), then the count and the process id
// (numbers, compared by their digits).
struct Age {
  bool valid = false;
  std::u16string_view time, process, sequence;
};

Age AgeOf(std::u16string_view name) {
  Age age;
  if (name.size() < kTimeForm.size()) return age;
  for (std::size_t i = 0; i < kTimeForm.size(); ++i)
    if (kTimeForm[i] == u'0' ? !IsDigit(name[i]) : name[i] != kTimeForm[i]) return age;
  std::size_t at = kTimeForm.size();
  age.process = TakeDigits(name, at);
  if (at == name.size() || name[at++] != u'-') return age;
  age.sequence = TakeDigits(name, at);
  // ".log" in any case, as Windows compares names.
  const std::u16string_view rest = name.substr(at);
  if (age.process.empty() || age.process.size() > 10 || age.sequence.empty() || age.sequence.size() > 10 ||
      rest.size() != 4 || rest[0] != u'.' || (rest[1] | 0x20) != u'l' || (rest[2] | 0x20) != u'o' ||
      (rest[3] | 0x20) != u'g')
    return age;
  age.time = name.substr(0, kTimeForm.size() - 1);
  age.valid = true;
  return age;
}

// Numbers without leading zeros compare by their length first.
bool NumberBefore(std::u16string_view a, std::u16string_view b) {
  return a.size() != b.size() ? a.size() < b.size() : a < b;
}

bool Older(const Age& a, const Age& b) {
  if (a.time != b.time) return a.time < b.time;
  if (a.sequence != b.sequence) return NumberBefore(a.sequence, b.sequence);
  return NumberBefore(a.process, b.process);
}

}  // namespace

std::u16string RunLogName(const LocalTime& time, std::uint32_t processId, std::uint32_t sequence) {
  // Each time field is kept to its width, so that no value out of range can spoil the order of the names.
  const std::uint32_t values[] = {std::min(time.year, 9999u),
                                  std::min(time.month, 99u),
                                  std::min(time.day, 99u),
                                  std::min(time.hour, 99u),
                                  std::min(time.minute, 99u),
                                  std::min(time.second, 99u),
                                  std::min(time.millisecond, 999u),
                                  processId,
                                  sequence};
  constexpr std::uint8_t kWidths[] = {4, 2, 2, 2, 2, 2, 3, 1, 1};
  constexpr char16_t kAfter[] = u"\0\0-\0\0---";  // what follows each field (the last: its terminator)
  std::u16string name;
  for (std::size_t i = 0; i < std::size(values); ++i) {
    PutDigits(name, values[i], kWidths[i]);
    if (kAfter[i]) name += kAfter[i];
  }
  name += u".log";
  return name;
}

bool IsRunLogName(std::u16string_view name) {
  return AgeOf(name).valid;
}

std::vector<std::size_t> RunLogsToDelete(std::span<const std::u16string> names, std::size_t keep) {
  std::vector<Age> ages(names.size());
  for (std::size_t i = 0; i < names.size(); ++i) ages[i] = AgeOf(names[i]);
  // A log goes when at least `keep` logs are newer. The folder holds a few dozen logs at most, as it is tidied at
  // every session, so counting is as quick as sorting and keeps the program smaller.
  std::vector<std::size_t> doomed;
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (!ages[i].valid) continue;
    std::size_t newer = 0;
    for (std::size_t j = 0; j < names.size(); ++j)
      if (ages[j].valid && j != i && (Older(ages[i], ages[j]) || (!Older(ages[j], ages[i]) && names[i] < names[j])))
        ++newer;
    if (newer >= keep) doomed.push_back(i);
  }
  return doomed;
}

}  // namespace vantrel::runs
