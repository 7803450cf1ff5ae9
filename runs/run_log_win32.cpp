#include "runs/run_log_win32.h"

#include <algorithm>

#include "runs/log_folder.h"
#include "runtime/runtime.h"

namespace vantrel::runs {
namespace {

// Sharing for both ends: the tool writes while the program reads, and the folder can be tidied (the file deleted)
// while either still has it open.
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// Runs of this process so far, for the names of their logs (the user-interface thread makes them all).
std::uint32_t g_runs = 0;

DWORD MakeFolder(const std::wstring& path) {
  if (CreateDirectoryW(path.c_str(), nullptr)) return 0;
  const DWORD error = GetLastError();
  if (error != ERROR_ALREADY_EXISTS) return error;
  // Something of that name that is not a folder is no place for logs.
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) ? 0 : ERROR_DIRECTORY;
}

RunLogResult Failure(DWORD error, const std::wstring& path) {
  RunLogResult result;
  result.error = error ? error : ERROR_GEN_FAILURE;
  result.reason = path + L"\r\n" + runtime::SystemErrorText(result.error);
  return result;
}

}  // namespace

// The temporary folder with its trailing backslash, or the empty text.
std::wstring TempFolder() {
  // GetTempPathW reads TMP and TEMP at each call, and does not ask whether the folder exists. Its answer is at
  // most MAX_PATH characters and a backslash.
  wchar_t buffer[MAX_PATH + 2];
  const DWORD length = GetTempPathW(MAX_PATH + 2, buffer);
  if (length == 0 || length > MAX_PATH + 1) return {};
  std::wstring temp(buffer, length);
  if (temp.back() != L'\\') temp += L'\\';
  return temp;
}

std::wstring RunLogFolder() {
  const std::wstring temp = TempFolder();
  return temp.empty() ? temp : temp + L"Vantrel\\logs";
}

RunLogResult CreateRunLog() {
  const std::wstring temp = TempFolder();
  if (temp.empty()) return Failure(GetLastError(), L"%TEMP%");
  const std::wstring vantrel = temp + L"Vantrel";
  const std::wstring folder = vantrel + L"\\logs";
  for (const std::wstring* level : {&vantrel, &folder})
    if (const DWORD error = MakeFolder(*level)) return Failure(error, *level);

  SYSTEMTIME now{};
  GetLocalTime(&now);
  const LocalTime time{now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond, now.wMilliseconds};
  // The write handle is inheritable: it is the one the tool gets. The program's own reads go through a second
  // handle of its own, with its own file position, that no child ever sees.
  SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
  RunLog log;
  // The folder keeps the newest logs of earlier sessions; it is tidied before this session's first log, never
  // later, so that no log of a run of this session (which may still be running) is ever taken away. Not at
  // start-up: the start does no file work that a click can do.
  if (g_runs == 0) PruneRunLogs(folder);
  // The process id and this process's count make the name new: a file of that name would be a fault, and
  // CREATE_NEW reports it rather than writing over another run's log.
  log.path_ = folder + L'\\' + runtime::Wide(RunLogName(time, GetCurrentProcessId(), ++g_runs));
  log.write_.reset(CreateFileW(log.path_.c_str(), GENERIC_WRITE, kShareAll, &inheritable, CREATE_NEW,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!log.write_) return Failure(GetLastError(), log.path_);
  log.read_.reset(
      CreateFileW(log.path_.c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!log.read_) {
    RunLogResult failure = Failure(GetLastError(), log.path_);
    log.Discard();
    return failure;
  }
  RunLogResult result;
  result.log = std::move(log);
  return result;
}

void RunLog::Discard() {
  write_.reset();
  read_.reset();
  if (!path_.empty()) DeleteFileW(path_.c_str());
}

DWORD RunLog::ReadNew(std::vector<std::uint8_t>& bytes, bool* more) {
  bytes.clear();
  if (more) *more = false;
  if (!read_) return ERROR_INVALID_HANDLE;
  // Reads straight into the caller's buffer, a chunk at a time, until the file has no more or the look's
  // share is used up. A read that comes short has met the end of what the tool has written so far.
  while (bytes.size() < kReadPerLook) {
    const std::size_t at = bytes.size();
    const std::size_t want = std::min(kReadChunk, kReadPerLook - at);
    bytes.resize(at + want);
    DWORD got = 0;
    if (!ReadFile(read_.get(), bytes.data() + at, static_cast<DWORD>(want), &got, nullptr)) {
      const DWORD error = GetLastError();
      bytes.resize(at);
      return error ? error : ERROR_READ_FAULT;
    }
    bytes.resize(at + got);
    offset_ += got;
    if (got < want) return 0;
  }
  if (more) *more = true;
  return 0;
}

bool RunLog::SkipToTail(std::uint64_t tail) {
  LARGE_INTEGER size{};
  if (!read_ || !GetFileSizeEx(read_.get(), &size)) return false;
  const auto end = static_cast<std::uint64_t>(size.QuadPart);
  if (end <= offset_ || end - offset_ <= tail) return false;
  LARGE_INTEGER to{};
  to.QuadPart = static_cast<LONGLONG>(end - tail);
  if (!SetFilePointerEx(read_.get(), to, nullptr, FILE_BEGIN)) return false;
  offset_ = end - tail;
  return true;
}

std::size_t PruneRunLogs(const std::wstring& folder) {
  if (folder.empty()) return 0;
  std::vector<std::u16string> names;
  WIN32_FIND_DATAW found{};
  runtime::UniqueFindHandle find(
      FindFirstFileExW((folder + L"\\*").c_str(), FindExInfoBasic, &found, FindExSearchNameMatch, nullptr, 0));
  if (!find) return 0;
  do {
    if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(runtime::Utf16(found.cFileName));
  } while (FindNextFileW(find.get(), &found));
  std::size_t deleted = 0;
  for (const std::size_t doomed : RunLogsToDelete(names))
    if (DeleteFileW((folder + L'\\' + runtime::Wide(names[doomed])).c_str())) ++deleted;
  return deleted;
}

}  // namespace vantrel::runs
