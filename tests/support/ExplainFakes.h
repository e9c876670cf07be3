#pragma once
// Stand-ins for the explanation pipeline's seams: a person's account, an
// on-device model, and a dispatch that tests step by hand.

#include <QList>
#include <QMap>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <atomic>
#include <functional>

#include "explain/Explainer.h"
#include "platform/OnDeviceModel.h"
#include "platform/UserAccount.h"

namespace rk::test {

class FakeAccount : public UserAccount {
public:
    FakeAccount(QString shortName, QString fullName)
        : short_(std::move(shortName)), full_(std::move(fullName)) {}
    QString shortName() const override { return short_; }
    QString fullName() const override { return full_; }

private:
    QString short_;
    QString full_;
};

// Answers item number N (1-based, as in the prompt) with `sentences[N]`, or
// fails with `failure` when it is set.
class FakeOnDeviceModel : public OnDeviceModel {
public:
    bool isAvailable = true;
    QMap<int, QString> sentences;
    std::optional<QString> failure;
    std::atomic<int> calls{0};
    QString lastPrompt;

    bool available() const override { return isAvailable; }
    Result<QString, QString> respond(const QString&, const QString& prompt) override {
        ++calls;
        lastPrompt = prompt;
        if (failure)
            return fail(*failure);
        QStringList lines;
        for (auto it = sentences.cbegin(); it != sentences.cend(); ++it)
            lines.append(QString::number(it.key()) + ": " + it.value());
        return lines.join('\n');
    }
};

// Keeps each dispatched run until the test runs its work and delivers it,
// in any order. Delivery honours the context the way a queued connection
// does: nothing happens once the context is gone.
class ManualDispatch : public ExplainDispatch {
public:
    struct Job {
        std::function<void()> work;
        QPointer<QObject> context;
        std::function<void()> deliver;
        bool worked = false;
    };
    QList<Job> jobs;

    void dispatch(std::function<void()> work, QObject* context, std::function<void()> deliver) override {
        jobs.append(Job{std::move(work), context, std::move(deliver)});
    }
    void work(qsizetype i) {
        jobs[i].work();
        jobs[i].worked = true;
    }
    // Runs the work if it has not run yet, then delivers.
    void finish(qsizetype i) {
        if (!jobs[i].worked)
            work(i);
        if (jobs[i].context)
            jobs[i].deliver();
    }
};

}  // namespace rk::test
