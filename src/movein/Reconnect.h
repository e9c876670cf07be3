#pragma once
// The reconnect layer's row: a thing to reconnect after a move, how to check
// it and what its button does. It knows nothing of where rows come from (the
// Move-In checklist, the permission wizard's permissions, demo rows).

#include <QString>
#include <functional>
#include <optional>

namespace rk {

class KTReconnectStatus {
public:
    enum class Kind { connected, needsAction, checking };

    static KTReconnectStatus connected(QString text) { return {Kind::connected, std::move(text)}; }
    static KTReconnectStatus needsAction(std::optional<QString> text = std::nullopt) {
        return {Kind::needsAction, std::move(text)};
    }
    static KTReconnectStatus checking() { return {Kind::checking, std::nullopt}; }

    Kind kind() const { return kind_; }
    bool isConnected() const { return kind_ == Kind::connected; }
    // connected: always; needsAction: maybe; checking: never.
    const std::optional<QString>& text() const { return text_; }

    friend bool operator==(const KTReconnectStatus&, const KTReconnectStatus&) = default;

private:
    KTReconnectStatus(Kind kind, std::optional<QString> text) : kind_(kind), text_(std::move(text)) {}
    Kind kind_;
    std::optional<QString> text_;
};

// What one check found: the row's status and its button's title now.
struct KTReconnectResult {
    KTReconnectStatus status = KTReconnectStatus::checking();
    QString actionLabel{};
    friend bool operator==(const KTReconnectResult&, const KTReconnectResult&) = default;
};

struct KTReconnectItem {
    QString id{};
    QString title{};
    QString group{};        // heading the view collects rows under; may be empty
    QString detail{};       // the how-to line shown under the title
    QString note{};         // a smaller second line
    bool optional = false;  // may be left undone

    // Looks at the machine. Runs off the main thread unless `checkOnMainThread`
    // (for checks built on probes that must run there), so it must only use
    // what it captured by value.
    std::function<KTReconnectResult()> check{};
    bool checkOnMainThread = false;

    // What the button does, on the main thread, given the title it showed.
    // Answers a line for the person when it could not do it (nothing here
    // opens the link), else none.
    std::function<std::optional<QString>(const QString& actionLabel)> action{};
};

}  // namespace rk
