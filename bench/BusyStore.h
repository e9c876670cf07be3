#pragma once
// A background-task store like a busy Mac's, for the benchmarks: three users,
// apps, agents and daemons with every optional field, urls as archived
// NSURLs. With a home folder, the first user is the person who runs the
// program: a hundred items listed again and again, one in ten of its apps
// under that folder.

#include <QByteArray>
#include <QString>

namespace rk::bench {

QByteArray busyStore(int records, const QString& home = QString());

}  // namespace rk::bench
