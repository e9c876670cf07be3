#pragma once
// The account of the person who runs the program: its short (login) name and
// the person's full name. Redaction of what leaves the Mac needs both. On a
// Mac they come from the directory service; on Linux from the passwd entry.

#include <QString>

namespace rk {

class UserAccount {
public:
    virtual ~UserAccount() = default;

    // The login name, e.g. "anna"; empty when it cannot be found.
    virtual QString shortName() const = 0;
    // The person's full name, e.g. "Anna Berg"; empty when none is recorded.
    virtual QString fullName() const = 0;

    // The process-wide account; the host's own unless a test replaced it.
    static UserAccount& current();
    // nullptr restores the host account. The caller keeps `account` alive.
    static void setCurrent(UserAccount* account);
    static UserAccount& host();
};

// The full name held in a passwd comment field ("gecos"): its first
// comma-separated part, with each "&" standing for the capitalised login name.
QString fullNameFromGecos(const QString& gecos, const QString& shortName);

}  // namespace rk
