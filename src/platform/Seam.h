#pragma once
// The process-wide instance behind a seam's `current()` / `setCurrent()`:
// the one a test or a mode put in place, else the host's own.
//
//     Workspace& Workspace::current() { return Seam<Workspace>::current<HostWorkspace>(); }
//     void Workspace::setCurrent(Workspace* w) { Seam<Workspace>::setCurrent(w); }
//
// The pointer is atomic because worker threads (Accessibility reads, the
// window photo, the explanations) ask for the current seam while the main
// thread may be putting another in place. The caller keeps what it puts in
// place alive until it restores the host's with nullptr.

#include <atomic>

namespace rk {

template <class Interface>
class Seam {
public:
    // The installed one, else `host`.
    static Interface& current(Interface& host) {
        Interface* installed = installed_.load();
        return installed ? *installed : host;
    }

    // The installed one, else the one `Host` made on first use and kept
    // until the program ends.
    template <class Host>
    static Interface& current() {
        static Host host;
        return current(host);
    }

    // nullptr restores the host's.
    static void setCurrent(Interface* replacement) { installed_.store(replacement); }

private:
    static inline std::atomic<Interface*> installed_{nullptr};
};

}  // namespace rk
