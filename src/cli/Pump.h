#pragma once
// How a command-line mode waits. Time passes on the main thread only through
// a `Pump`, and work that may block leaves it only through a `Starter`, so
// that tests can hand a mode ones that return at once (or act as the person
// meanwhile) instead of sleeping. Called on the main thread.

#include <functional>

namespace rk {

// Lets `seconds` pass.
using Pump = std::function<void(double seconds)>;
// Runs `work` away from the calling thread and returns at once.
using Starter = std::function<void(std::function<void()> work)>;

// The real pump: runs the current thread's event loop until `seconds` have
// passed, serving its timers and queued work meanwhile. Needs the Qt
// application object the process entry made.
void runEventLoop(double seconds);

// The real starter: a thread of its own that nobody waits for, so work that
// never ends can hold up neither the caller nor the process's exit. The work
// must own (or share) everything it touches.
void startOnOwnThread(std::function<void()> work);

}  // namespace rk
