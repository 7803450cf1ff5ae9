// The mounted-image list read off the user-interface thread. The library may take its time (it looks at every
// mount folder), so the read runs on a thread of the reader's own, asleep until a read is asked for; the outcome
// waits in a locked slot and a posted message, which carries nothing, tells the window that it has come
// (runtime::LatestFromThread). The window asks for a read when it is activated, when a run that mounts, unmounts,
// remounts or cleans up ends, and when the list is opened.
#pragma once
#include <windows.h>

#include "mounts/mounted_image.h"
#include "runtime/latest_from_thread.h"

namespace vantrel::mounts {

// What the reader's thread reads: the library's list.
struct MountListSource {
  MountList Read();
};

class MountListReader {
 public:
  // `message` is posted to the window given to Refresh when a read has come.
  explicit MountListReader(UINT message) : reader_(message) {}
  // A read in flight is forgotten: it posts nothing, and frees what it holds when it ends; the thread ends after it
  // (waited for a moment only: a read stuck in the library does not hold up the program's end).
  ~MountListReader() = default;
  MountListReader(const MountListReader&) = delete;
  MountListReader& operator=(const MountListReader&) = delete;

  // Reads the list afresh for `window`. While a read is in flight, one more is made after it instead (the
  // freshest list comes, and never more than one read at a time).
  void Refresh(HWND window) { reader_.Ask(window); }
  // True for the reader's message: Known() has the latest list read from now on.
  bool Handle(UINT message) { return reader_.Handle(message); }
  // The list last read: none before the first read has come, or when the library is missing or failed.
  const MountList& Known() const { return reader_.Known(); }
  // The window is going: nothing is posted to it from now on (Refresh starts again).
  void Stop() { reader_.Stop(); }

  // How many reads of every reader are in flight, for the tests: each frees its work when it ends.
  static long ReadsInFlight() { return runtime::LatestFromThread<MountListSource>::ReadsInFlight(); }

 private:
  runtime::LatestFromThread<MountListSource> reader_;
};

}  // namespace vantrel::mounts
