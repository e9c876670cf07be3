#pragma once
// Takes the person's names out of texts before they leave the Mac: the
// account's short name and each word of the full name, when 3 or more
// characters long, are replaced by "user", ignoring case. Shorter names are
// left alone: they would blank out ordinary syllables of every identifier.

#include <QString>
#include <QStringList>
#include <optional>

#include "platform/UserAccount.h"

namespace rk {

struct Redact {
    static std::optional<QString> user(const std::optional<QString>& text,
                                       const UserAccount& account = UserAccount::current());
    static QString user(const QString& text, const UserAccount& account = UserAccount::current());
    static QString user(const char* text, const UserAccount& account = UserAccount::current()) {
        return user(QString::fromUtf8(text), account);
    }

    // The names that are taken out, in NFC: the short name, then the full
    // name's words (split at anything that is not a letter or digit), each of
    // 3 or more characters, without case-insensitive repeats.
    static QStringList names(const UserAccount& account = UserAccount::current());
};

}  // namespace rk
