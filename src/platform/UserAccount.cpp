#include "platform/UserAccount.h"

#include <pwd.h>
#include <unistd.h>

#include <vector>

#include "platform/Seam.h"

namespace rk {

namespace {

struct PasswdEntry {
    QString name;
    QString gecos;
};

PasswdEntry readPasswd() {
    long size = sysconf(_SC_GETPW_R_SIZE_MAX);
    if (size <= 0)
        size = 16384;
    std::vector<char> buffer(static_cast<size_t>(size));
    passwd entry{};
    passwd* found = nullptr;
    if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) != 0 || found == nullptr) {
        return {};
    }
    return {QString::fromLocal8Bit(found->pw_name ? found->pw_name : ""),
            QString::fromLocal8Bit(found->pw_gecos ? found->pw_gecos : "")};
}

// The passwd entry does not change while the program runs; read it once.
class HostAccount final : public UserAccount {
public:
    HostAccount() {
        const PasswdEntry entry = readPasswd();
        short_ = entry.name;
        full_ = fullNameFromGecos(entry.gecos, entry.name);
    }
    QString shortName() const override { return short_; }
    QString fullName() const override { return full_; }

private:
    QString short_;
    QString full_;
};

}  // namespace

QString fullNameFromGecos(const QString& gecos, const QString& shortName) {
    QString full = gecos.section(',', 0, 0);
    if (full.contains('&')) {
        QString capitalised = shortName;
        if (!capitalised.isEmpty())
            capitalised[0] = capitalised[0].toUpper();
        full.replace('&', capitalised);
    }
    return full.trimmed();
}

UserAccount& UserAccount::host() {
    static HostAccount account;
    return account;
}

UserAccount& UserAccount::current() {
    return Seam<UserAccount>::current(host());
}

void UserAccount::setCurrent(UserAccount* account) {
    Seam<UserAccount>::setCurrent(account);
}

}  // namespace rk
