#pragma once
// A disk that fails while flushing: this test program carries its own fsync,
// which the station's code calls in place of the C library's. It passes every
// call on unless a fault is armed, and then fails the flush of a regular file
// or of a folder with EIO, as a failing disk or a lost network share does.

namespace orvalt::test {

enum class SyncFault { None, File, Folder };

// From now on, fsync fails for what `fault` names (None: for nothing).
void ArmSyncFault(SyncFault fault);

}  // namespace orvalt::test
