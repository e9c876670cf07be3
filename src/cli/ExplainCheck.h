#pragma once
// The explanation check ("--explain-check [offline|gateway|device]"): runs
// the explanation pipeline once over three fixed sample items and prints who
// answered, whether a gateway client key is configured (never the key),
// how often consent was asked, one line per item and a verdict.
//
// - offline (the default): consent refused, no on-device model. Passes when
//   only the rule answer comes back.
// - gateway: consent given, no on-device model. Passes when the AI gateway
//   explains the two items the rules do not know.
// - device, or any other word: the on-device model allowed, consent
//   refused. Passes when the on-device model answered; else not measured.
//
// The pipeline runs on a worker thread of its own (the gateway client turns
// an event loop there while it waits); the calling thread blocks for at most
// the time limit and then gives up, leaving the worker to end on its own.

#include <QList>
#include <QMutex>
#include <QString>
#include <QTextStream>
#include <chrono>
#include <functional>

#include "explain/ExplainTypes.h"
#include "explain/Explainer.h"

namespace rk {

struct ExplainCheck {
    // t1 (a Dropbox helper, which the rule table knows), t2 and t3 (which it
    // does not).
    static const QList<ExplainItem>& items();

    // Counts consent asks; the pipeline may ask from any thread.
    class SentFlag {
    public:
        void mark();
        int asked() const;

    private:
        mutable QMutex lock_;
        int n_ = 0;
    };

    // The pipeline as the check calls it: the items, whether the on-device
    // model may be used, and the consent question.
    using Pipeline =
        std::function<ExplainRun(const QList<ExplainItem>&, bool allowOnDevice, const ConsentQuestion&)>;

    struct Options {
        // What the real pipeline may reach; its gateway client key is the one
        // reported as present or absent.
        ExplainServices services{};
        // None: `Explainer::run` with `services`.
        Pipeline pipeline{};
        std::chrono::milliseconds limit{std::chrono::seconds(45)};
        // Called after the time-out line, with the worker still running.
        // The command line ends the process here, so that nothing is torn
        // down under the worker; none returns 3.
        std::function<void()> gaveUp{};
    };

    // 0 on pass, 1 on fail (offline, gateway), 3 when not measured. To
    // standard output; after a time-out the process ends with status 3.
    static int run(const QString& word);
    static int run(const QString& word, QTextStream& out, const Options& options);
};

}  // namespace rk
