// Lines of a run's log (log_lines.h).
#include "runs/log_lines.h"

#include <algorithm>

namespace vantrel::runs {
namespace {

bool IsBlank(char16_t c) {
  return c == u' ' || c == u'\t' || c == u'\u3000' || c == u'\f' || c == u'\v';
}
bool IsDigit(char16_t c) {
  return c >= u'0' && c <= u'9';
}
bool IsHexDigit(char16_t c) {
  return IsDigit(c) || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
}

bool ContainsAsciiNoCase(std::u16string_view text, std::u16string_view lowerWord) {
  if (lowerWord.size() > text.size()) return false;
  for (std::size_t i = 0; i + lowerWord.size() <= text.size(); ++i) {
    std::size_t k = 0;
    while (k < lowerWord.size()) {
      char16_t c = text[i + k];
      if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
      if (c != lowerWord[k]) break;
      ++k;
    }
    if (k == lowerWord.size()) return true;
  }
  return false;
}

// DISM: "Error: 0xc1420127", "错误: 87" (and a full-width colon), nothing after the code.
bool IsDismErrorLine(std::u16string_view line) {
  std::u16string_view rest;
  if (line.starts_with(u"Error"))
    rest = line.substr(5);
  else if (line.starts_with(u"错误"))
    rest = line.substr(2);
  else
    return false;
  rest = Trim(rest);
  if (rest.empty() || (rest[0] != u':' && rest[0] != u'：')) return false;
  rest = Trim(rest.substr(1));
  const bool hex = rest.size() > 2 && rest[0] == u'0' && (rest[1] == u'x' || rest[1] == u'X');
  if (hex) rest = rest.substr(2);
  return !rest.empty() && std::all_of(rest.begin(), rest.end(), hex ? IsHexDigit : IsDigit);
}

// imagex: "Error mounting image.", "Error capturing image." ...
bool IsImagexErrorLine(std::u16string_view line) {
  if (!line.starts_with(u"Error ")) return false;
  std::size_t n = 6;
  while (n < line.size() && line[n] >= u'a' && line[n] <= u'z') ++n;
  const std::u16string_view verb = line.substr(6, n - 6);
  return verb.size() > 3 && verb.ends_with(u"ing") && (n == line.size() || line[n] == u' ' || line[n] == u'.');
}

}  // namespace

std::u16string_view Trim(std::u16string_view line) {
  while (!line.empty() && IsBlank(line.front())) line.remove_prefix(1);
  while (!line.empty() && IsBlank(line.back())) line.remove_suffix(1);
  return line;
}

void PercentScanner::EndNumber() {
  whole_ = wholeDigits_ = tenth_ = fractionDigits_ = 0;
  dot_ = false;
}

std::optional<int> PercentScanner::Put(char16_t c) {
  std::optional<int> found;
  if (awaitingParen_) {
    if (c == u')') found = awaitingParen_;
    awaitingParen_.reset();
  }
  if (IsDigit(c)) {
    if (dot_) {
      if (fractionDigits_++ == 0) tenth_ = c - u'0';
    } else {
      if (wholeDigits_ == 0) beforeNumber_ = previous_;
      if (wholeDigits_ < 4) whole_ = whole_ * 10 + (c - u'0');
      ++wholeDigits_;
    }
  } else if (c == u'.' && wholeDigits_ > 0 && !dot_) {
    dot_ = true;
  } else {
    if (c == u'%' && wholeDigits_ > 0 && wholeDigits_ <= 3 && (!dot_ || fractionDigits_ > 0)) {
      const int tenths = whole_ * 10 + tenth_;
      if (tenths <= 1000) {
        if (inBracket_)
          found = tenths;
        else if (beforeNumber_ == u'(')
          awaitingParen_ = tenths;
      }
    }
    EndNumber();
    if (c == u'[') inBracket_ = true;
    if (c == u']') inBracket_ = false;
  }
  previous_ = c;
  return found;
}

LineKind Classify(std::u16string_view line) {
  if (line.empty()) return LineKind::Blank;
  if (line.starts_with(u"[ERROR]")) return LineKind::WimlibError;
  if (IsDismErrorLine(line) || IsImagexErrorLine(line)) return LineKind::ErrorLine;
  if (line.find(u"DISM") != line.npos &&
      (ContainsAsciiNoCase(line, u"log file") || line.find(u"日志文件") != line.npos))
    return LineKind::LogFileLine;
  static constexpr std::u16string_view kBanner[] = {
      u"Deployment Image Servicing and Management tool",
      u"部署映像服务和管理工具",
      u"ImageX Tool for Windows",
      u"Copyright",
      u"Version:",
      u"Image Version:",
      u"版本:",
      u"映像版本:",
      u"版本：",
      u"映像版本：",
  };
  for (std::u16string_view start : kBanner)
    if (line.starts_with(start)) return LineKind::Banner;
  return LineKind::Text;
}

std::u16string ErrorSummary(std::u16string_view errorText, std::size_t maxLines, std::size_t maxUnits) {
  std::u16string out;
  bool cut = false;
  std::size_t lines = 0;
  while (!errorText.empty()) {
    const std::size_t end = std::min(errorText.find(u'\n'), errorText.size());
    const std::u16string_view line = Trim(errorText.substr(0, end));
    errorText.remove_prefix(std::min(end + 1, errorText.size()));
    if (line.empty()) continue;
    if (lines == maxLines || out.size() > maxUnits) {
      cut = true;
      break;
    }
    if (!out.empty()) out += u'\n';
    out.append(line.substr(0, maxUnits + 1));
    ++lines;
  }
  if (!cut && out.size() <= maxUnits) return out;
  if (maxUnits == 0) return {};
  out.resize(std::min(out.size(), maxUnits - 1));
  if (!out.empty() && out.back() >= 0xD800 && out.back() <= 0xDBFF) out.pop_back();  // half of a pair
  while (!out.empty() && (IsBlank(out.back()) || out.back() == u'\n')) out.pop_back();
  out += u'…';
  return out;
}

}  // namespace vantrel::runs
