// The feed's version rules: which of two versions is newer, builds, and the
// oldest system a build runs on. The first lines of the input are versions
// and builds as a feed or a bundle may state them; its bytes also make
// versions from numbers. Comparing is an order (never both newer, each
// equal to itself, one after another after both); versions written from
// numbers compare as the numbers do, missing pieces and pieces that are no
// number counting 0 and empty pieces dropped; a decimal integer written
// reads back; and a newer system meets whatever an older one meets.
#include <QVersionNumber>
#include <QtEndian>
#include <algorithm>
#include <climits>
#include <compare>

#include "FuzzInput.h"
#include "update/UpdateVersion.h"

using fuzzing::require;
using namespace rk::KTUpdate;

namespace {

// A version text and its numbers from bytes: each byte a number, a piece
// that is no number (0), or an empty piece.
std::pair<QString, QList<qint64>> written(const QByteArray& bytes) {
    QStringList pieces;
    QList<qint64> numbers;
    for (const char byte : bytes) {
        const auto b = quint8(byte);
        const qint64 n = b >= 160 ? 0 : b % 8 == 7 ? qint64(b) * 1'000'000'007LL : b / 8;
        pieces << (b < 160   ? QString::number(n)
                   : b < 220 ? (b % 2 ? "b" : "1rc") + QString::number(b)
                             : QString());
        if (b < 220)
            numbers << n;
    }
    while (!numbers.isEmpty() && numbers.back() == 0)
        numbers.removeLast();
    return {pieces.join('.'), numbers};
}

std::strong_ordering numbersOrder(QList<qint64> a, QList<qint64> b) {
    a.resize(std::max(a.size(), b.size()), 0);
    b.resize(a.size(), 0);
    return std::lexicographical_compare_three_way(a.begin(), a.end(), b.begin(), b.end());
}

}  // namespace

void fuzz(const QByteArray& input) {
    const QList<QByteArray> lines = fuzzing::parts(input, '\n', 6);
    const QString a = QString::fromUtf8(lines[0]), b = QString::fromUtf8(lines[1]),
                  c = QString::fromUtf8(lines[2]);
    require(
        compareVersions(a, a) == 0 && compareVersions(a, a + ".0") == 0 && compareVersions(a, a + "..") == 0,
        "a version equals itself, a missing piece counting 0 and an empty one nothing");
    require(compareVersions(a, b) == (0 <=> compareVersions(b, a)), "never newer both ways");
    if (compareVersions(a, b) <= 0 && compareVersions(b, c) <= 0)
        require(compareVersions(a, c) <= 0, "older than older is older");
    if (compareVersions(a, b) == 0)
        require(compareVersions(a, c) == compareVersions(b, c), "equal versions compare alike");

    const qint64 buildA = decimalInteger(QString::fromUtf8(lines[3])).value_or(0);
    const qint64 buildB = decimalInteger(QString::fromUtf8(lines[4])).value_or(0);
    const Appcast feed{.version = a, .build = buildA};
    require(!feedIsNewer(feed, {a, buildA}), "a feed is not newer than what it offers");
    require(!(feedIsNewer(feed, {b, buildB}) && feedIsNewer({.version = b, .build = buildB}, {a, buildA})),
            "of two builds only one is newer");
    if (compareVersions(a, b) == 0)
        require(feedIsNewer(feed, {b, buildB}) == (buildA > buildB),
                "the build decides between equal versions");

    const qsizetype half = lines[5].size() / 2;
    const auto [left, leftNumbers] = written(lines[5].left(half));
    const auto [right, rightNumbers] = written(lines[5].mid(half));
    require(compareVersions(left, right) == numbersOrder(leftNumbers, rightNumbers),
            "versions written from numbers compare as the numbers");

    for (const QByteArray& bytes : {lines[3], lines[4]}) {
        if (const auto n = decimalInteger(QString::fromUtf8(bytes)))
            require(decimalInteger(QString::number(*n)) == n, "a decimal integer written reads back");
        if (bytes.size() >= 8) {
            const auto n = qFromBigEndian<qint64>(bytes.constData());
            require(decimalInteger(QString::number(n)) == n &&
                        (n < 0 || decimalInteger("+" + QString::number(n)) == n),
                    "any integer written reads back");
        }
    }

    const auto system = [](const QList<qint64>& numbers) {
        QList<int> parts;
        for (const qint64 n : numbers)
            parts << int(std::min<qint64>(n, INT_MAX));
        return QVersionNumber(parts);
    };
    const QVersionNumber older = system(leftNumbers), newer = std::max(older, system(rightNumbers));
    if (leftNumbers.size() <= 3 && rightNumbers.size() <= 3 && systemMeets(c, older))
        require(systemMeets(c, newer), "a newer system meets what an older one meets");
    require(systemMeets(c, std::nullopt) == c.split('.', Qt::SkipEmptyParts).isEmpty(),
            "an empty minimum asks nothing, and no system meets a named version");
}
