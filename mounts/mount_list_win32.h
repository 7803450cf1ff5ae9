// The mounted-image list read off the user-interface thread. The library may take its time (it looks at every
// mount folder), so the read runs on a thread of the reader's own, asleep until a read is asked for; the outcome waits in a locked slot and a posted message,
// which carries nothing, tells the window that it has come. The window asks for a read when it is activated, when
// a run that mounts, unmounts, remounts or cleans up ends, and when the list is opened.
#pragma once
#include <windows.h>

#include <memory>

#include "mounts/mounted_image.h"
#include "runtime/handles.h"

namespace vantrel::mounts {

class MountListReader {
 public:
  // `message` is posted to the window given to Refresh when a read has come.
  explicit MountListReader(UINT message);
  // A read in flight is forgotten: it posts nothing, and frees what it holds when it ends; the thread ends after it
  // (waited for a moment only: a read stuck in the library does not hold up the program's end).
  ~MountListReader();
  MountListReader(const MountListReader&) = delete;
  MountListReader& operator=(const MountListReader&) = delete;

  // Reads the list afresh for `window`. While a read is in flight, one more is made after it instead (the
  // freshest list comes, and never more than one read at a time).
  void Refresh(HWND window);
  // True for the reader's message: Known() has the latest list read from now on.
  bool Handle(UINT message);
  // The list last read: none before the first read has come, or when the library is missing or failed.
  const MountList& Known() const { return known_; }
  // The window is going: nothing is posted to it from now on (Refresh starts again).
  void Stop();

  // How many reads of every reader are in flight, for the tests: each frees its work when it ends.
  static long ReadsInFlight();

  // Where a read leaves its outcome; shared with the read in flight, so neither outlives what it uses.
  struct Slot;

 private:
  UINT message_;
  std::shared_ptr<Slot> slot_;
  runtime::UniqueKernelHandle thread_;  // the reading thread, made at the first read
  MountList known_;
};

}  // namespace vantrel::mounts
