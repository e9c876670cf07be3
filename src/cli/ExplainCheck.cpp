#include "cli/ExplainCheck.h"

#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <thread>

namespace rk {

namespace {

using Source = Explanation::Source;

// Written once by the worker, read by the caller only after the worker said so.
struct ResultBox {
    std::mutex mutex;
    std::condition_variable signal;
    bool done = false;
    ExplainRun run;
};

bool answeredBy(const ExplainRun& run, const QString& key, Source source) {
    const auto found = run.answers.constFind(key);
    return found != run.answers.cend() && found->source == source;
}

struct Verdict {
    bool pass = false;
    QString passLine;
    QString otherLine;
    int otherStatus = 1;
};

Verdict verdict(const QString& word, const ExplainRun& run) {
    const bool ruled = answeredBy(run, "t1", Source::rules);
    if (word == QLatin1String("offline"))
        return {ruled && !run.answers.contains("t2") && !run.answers.contains("t3"),
                "PASS: rules line kept, nothing else invented, nothing sent", "FAIL", 1};
    if (word == QLatin1String("gateway"))
        return {ruled && run.source == Source::ai && answeredBy(run, "t2", Source::ai) &&
                    answeredBy(run, "t3", Source::ai),
                "PASS: the gateway explained the rows the rules could not", "FAIL", 1};
    return {
        run.source == Source::onDevice, "PASS: the on-device model answered",
        "NOT MEASURED: the on-device model is not available here (" + Explanation::rawValue(run.source) + ")",
        3};
}

}  // namespace

const QList<ExplainItem>& ExplainCheck::items() {
    static const QList<ExplainItem> samples{
        {"t1", "TEST Dropbox Helper", "com.example.TESTdropbox", "TESTdropboxd", "Dropbox, Inc."},
        {"t2", "TEST Sync Agent", "com.example.TESTsyncagent", "TESTsyncagent", "Quillfen Softworks TEST"},
        {"t3", "TEST Menu Clock", "com.example.TESTmenuclock", "TESTmenuclock", std::nullopt},
    };
    return samples;
}

void ExplainCheck::SentFlag::mark() {
    const QMutexLocker locked(&lock_);
    ++n_;
}

int ExplainCheck::SentFlag::asked() const {
    const QMutexLocker locked(&lock_);
    return n_;
}

int ExplainCheck::run(const QString& word) {
    QTextStream out(stdout);
    Options options;
    options.gaveUp = [] {
        std::fflush(stdout);
        std::_Exit(3);
    };
    return run(word, out, options);
}

int ExplainCheck::run(const QString& word, QTextStream& out, const Options& options) {
    const bool isGateway = word == QLatin1String("gateway");
    const bool isDevice = word == QLatin1String("device");
    const Pipeline pipeline =
        options.pipeline ? options.pipeline
                         : [services = options.services](const QList<ExplainItem>& items, bool allowOnDevice,
                                                         const ConsentQuestion& consented) {
                               return Explainer::run(items, allowOnDevice, consented, services);
                           };

    // Shared with the worker, which may outlive this call after a time-out.
    auto flag = std::make_shared<SentFlag>();
    auto box = std::make_shared<ResultBox>();
    std::thread worker([pipeline, flag, box, isGateway, isDevice] {
        ExplainRun run = pipeline(items(), isDevice, [flag, isGateway] {
            flag->mark();
            return isGateway;
        });
        const std::lock_guard<std::mutex> locked(box->mutex);
        box->run = std::move(run);
        box->done = true;
        box->signal.notify_all();
    });

    std::unique_lock<std::mutex> locked(box->mutex);
    if (!box->signal.wait_for(locked, options.limit, [&box] { return box->done; })) {
        locked.unlock();
        worker.detach();
        out << "NOT MEASURED: no answer in " << QString::number(options.limit.count() / 1000.0)
            << " seconds\n";
        out.flush();
        if (options.gaveUp)
            options.gaveUp();
        return 3;
    }
    const ExplainRun result = box->run;
    locked.unlock();
    worker.join();

    const QString key = options.services.gateway.clientKey.isEmpty() ? "absent" : "present";
    out << "mode=" << word << " answered-by=" << Explanation::rawValue(result.source) << " key=" << key
        << " consent-asked=" << flag->asked() << '\n';
    for (const ExplainItem& item : items()) {
        const auto found = result.answers.constFind(item.key);
        const bool answered = found != result.answers.cend();
        out << "  " << item.name << ": [" << (answered ? Explanation::rawValue(found->source) : "none")
            << "] " << (answered ? found->what : "(no line)") << '\n';
    }
    const Verdict judged = verdict(word, result);
    out << (judged.pass ? judged.passLine : judged.otherLine) << '\n';
    out.flush();
    return judged.pass ? 0 : judged.otherStatus;
}

}  // namespace rk
