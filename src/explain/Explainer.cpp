#include "explain/Explainer.h"

#include <QSet>
#include <QThread>
#include <memory>

#include "explain/ExplainPrompt.h"
#include "explain/ExplainRules.h"
#include "platform/Seam.h"

namespace rk {

namespace {

class ThreadedDispatch final : public ExplainDispatch {
public:
    void dispatch(std::function<void()> work, QObject* context, std::function<void()> deliver) override {
        QThread* thread = QThread::create(std::move(work));
        // A connection with `context` as receiver is queued to its thread and
        // removed when it is destroyed, so a late answer lands nowhere.
        QObject::connect(thread, &QThread::finished, context, std::move(deliver));
        QObject::connect(thread, &QThread::finished, thread, &QObject::deleteLater);
        thread->start();
    }
};

Explanation answer(const ExplainItem& item, const QString& sentence, Explanation::Source source) {
    return Explanation{item.name, sentence, source};
}

// The items the rules did not answer, without repeated keys, at most
// `Explainer::maxModelItems`.
QList<ExplainItem> modelItems(const QList<ExplainItem>& items, const ExplanationMap& ruled) {
    QList<ExplainItem> rest;
    QSet<QString> seen;
    for (const ExplainItem& item : items) {
        if (ruled.contains(item.key) || seen.contains(item.key))
            continue;
        seen.insert(item.key);
        rest.append(item);
        if (rest.size() == Explainer::maxModelItems)
            break;
    }
    return rest;
}

QMap<QString, QString> askOnDevice(OnDeviceModel& model, const QList<ExplainItem>& items) {
    const auto reply = model.respond(ExplainPrompt::instructions(), ExplainPrompt::text(items));
    if (!reply)
        return {};
    return ExplainPrompt::parse(*reply, items);
}

// Sentences from the one model request for `rest`, and who gave them; none
// with empty sentences when the request fell back or was not allowed.
std::pair<QMap<QString, QString>, Explanation::Source> askModel(const QList<ExplainItem>& rest,
                                                                bool allowOnDevice,
                                                                const ConsentQuestion& consented,
                                                                const ExplainServices& services) {
    OnDeviceModel& model = services.onDevice ? *services.onDevice : OnDeviceModel::current();
    if (allowOnDevice && model.available()) {
        QMap<QString, QString> sentences = askOnDevice(model, rest);
        if (sentences.isEmpty())
            return {{}, Explanation::Source::none};
        return {std::move(sentences), Explanation::Source::onDevice};
    }
    // Consent is asked only when a request could really go out.
    if (!services.gateway.configured() || !consented || !consented())
        return {{}, Explanation::Source::none};
    const UserAccount& account = services.account ? *services.account : UserAccount::current();
    GatewayReply reply = GatewayClient::explain(rest, services.gateway, {}, account);
    if (reply.failure || reply.sentences.isEmpty())
        return {{}, Explanation::Source::none};
    return {std::move(reply.sentences), Explanation::Source::ai};
}

}  // namespace

ExplainDispatch& ExplainDispatch::threaded() {
    static ThreadedDispatch dispatch;
    return dispatch;
}

ExplainDispatch& ExplainDispatch::current() {
    return Seam<ExplainDispatch>::current(threaded());
}

void ExplainDispatch::setCurrent(ExplainDispatch* dispatch) {
    Seam<ExplainDispatch>::setCurrent(dispatch);
}

ExplainRun Explainer::run(const QList<ExplainItem>& items, bool allowOnDevice,
                          const ConsentQuestion& consented, const ExplainServices& services) {
    ExplainRun result;
    for (const ExplainItem& item : items) {
        if (result.answers.contains(item.key))
            continue;
        if (const auto sentence = ExplainRules::explain(item)) {
            result.answers.insert(item.key, answer(item, *sentence, Explanation::Source::rules));
        }
    }
    const QList<ExplainItem> rest = modelItems(items, result.answers);
    if (rest.isEmpty()) {
        result.source = Explanation::Source::rules;
        return result;
    }
    auto [sentences, source] = askModel(rest, allowOnDevice, consented, services);
    result.source = source;
    for (const ExplainItem& item : rest) {
        if (const auto found = sentences.constFind(item.key); found != sentences.cend()) {
            result.answers.insert(item.key, answer(item, *found, source));
        }
    }
    return result;
}

void Explainer::explain(const QList<ExplainItem>& items, bool allowOnDevice, ConsentQuestion consented,
                        QObject* context, std::function<void(ExplainRun)> done, ExplainServices services,
                        ExplainDispatch& dispatch) {
    auto result = std::make_shared<ExplainRun>();
    dispatch.dispatch(
        [=, consented = std::move(consented), services = std::move(services)] {
            *result = run(items, allowOnDevice, consented, services);
        },
        context, [result, done = std::move(done)] { done(std::move(*result)); });
}

}  // namespace rk
