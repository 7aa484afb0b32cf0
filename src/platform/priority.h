// Scheduling priorities of the program's threads and of the process.
#pragma once

namespace md {

// Raises the calling thread to the highest priority SDL offers short of time-critical. Failure is ignored.
void raiseThreadPriority();

// Raises the whole process's scheduling priority where the platform has one (a lower nice value on POSIX
// systems). Without the permission to do so, nothing changes.
void raiseProcessPriority();

} // namespace md
