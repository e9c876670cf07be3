#pragma once
// The explanation pipeline: the rule table first; the items it does not know
// (at most 40) then go to one model request, to the on-device model when it
// may be used and is there, else to the AI gateway when a client key is
// configured and the person consents at that moment. It never fails towards
// its caller: items it could not answer are missing from the answers.

#include <QList>
#include <QObject>
#include <functional>

#include "explain/ExplainTypes.h"
#include "explain/GatewayClient.h"
#include "platform/OnDeviceModel.h"
#include "platform/UserAccount.h"

namespace rk {

// The answers of one run keyed by item key, and who answered: `rules` when
// every item had a rule answer, else the source of the one model request
// (`onDevice`, `ai`, or `none` when it fell back or was not allowed).
struct ExplainRun {
    ExplanationMap answers;
    Explanation::Source source = Explanation::Source::none;
};

// Asked, on the run's own thread, only at the moment a gateway request would
// otherwise be made.
using ConsentQuestion = std::function<bool()>;

// What a run may reach besides the rule table. Null pointers stand for the
// process-wide seams.
struct ExplainServices {
    OnDeviceModel* onDevice = nullptr;
    GatewayConfig gateway = GatewayConfig::fromBuild();
    const UserAccount* account = nullptr;
};

// How `Explainer::explain` takes a run off the caller's thread and brings
// the answer back. The threaded dispatch runs each run on a thread of its
// own; tests put in one that they step by hand.
class ExplainDispatch {
public:
    virtual ~ExplainDispatch() = default;
    // Runs `work` away from the calling thread, then `deliver` on the thread
    // of `context`; `deliver` is dropped when `context` is gone by then.
    virtual void dispatch(std::function<void()> work, QObject* context, std::function<void()> deliver) = 0;

    static ExplainDispatch& current();
    // nullptr restores the threaded dispatch. The caller keeps it alive.
    static void setCurrent(ExplainDispatch* dispatch);
    static ExplainDispatch& threaded();
};

struct Explainer {
    static constexpr int maxModelItems = 40;

    // The whole run, synchronously. Blocks while a model or the gateway is
    // asked, so call it away from the main thread (a command-line check may
    // call it from a worker of its own).
    static ExplainRun run(const QList<ExplainItem>& items, bool allowOnDevice,
                          const ConsentQuestion& consented, const ExplainServices& services = {});

    // The run on another thread; `done` gets its result on `context`'s thread
    // (which must run an event loop), and never once `context` is destroyed.
    static void explain(const QList<ExplainItem>& items, bool allowOnDevice, ConsentQuestion consented,
                        QObject* context, std::function<void(ExplainRun)> done, ExplainServices services = {},
                        ExplainDispatch& dispatch = ExplainDispatch::current());
};

}  // namespace rk
