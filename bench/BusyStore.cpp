#include "BusyStore.h"

#include <QList>
#include <QStringList>

#include "platform/KeyedArchiveWriter.h"

namespace rk::bench {

QByteArray busyStore(int records, const QString& home) {
    const QStringList users{"FFFFEEEE-DDDD-CCCC-BBBB-AAAA000001F5", "FFFFEEEE-DDDD-CCCC-BBBB-AAAA000001F6",
                            "00000000-0000-0000-0000-000000000000"};
    QList<ArchivedUser> byUser;
    for (const QString& user : users)
        byUser.append({user, {}});
    for (int i = 0; i < records; ++i) {
        ArchivedItem item;
        // The person's items: the same hundred over and over, as a store
        // that has grown for years lists them.
        const bool persons = !home.isEmpty() && i % users.size() == 0;
        const int n = persons ? i % 300 : i;
        const QString vendor = QStringLiteral("vendor%1").arg(n % 97);
        const QString product = QStringLiteral("Product %1").arg(n);
        item.name = product;
        item.type = (i % 3 == 0) ? 2 : (i % 3 == 1 ? 8 : 16);
        item.disposition = (i % 5 == 0) ? 2 : 3;
        item.url = (i % 3 == 0)
                       ? (persons && n % 10 == 0 ? home : QString()) + "/Applications/" + product + ".app"
                       : "/Library/LaunchAgents/com." + vendor + ".helper" + QString::number(n) + ".plist";
        item.identifier = QStringLiteral("%1.com.%2.helper%3").arg(item.type).arg(vendor).arg(n);
        item.bundleIdentifier = "com." + vendor + ".product" + QString::number(n);
        item.teamIdentifier = QStringLiteral("TEAM%1").arg(n % 97, 6, 10, QLatin1Char('0'));
        item.developerName = "Vendor " + QString::number(n % 97) + " Ltd";
        item.executablePath = "/Applications/" + product + ".app/Contents/MacOS/" + product;
        byUser[i % users.size()].items.append(item);
    }
    return KeyedArchiveWriter::store(byUser);
}

}  // namespace rk::bench
