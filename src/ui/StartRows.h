#pragma once
// Two rows of the Start page: the sentence that counts the launchd jobs
// and one permission line.

#include <QLabel>
#include <QString>
#include <QWidget>

namespace rk {

struct ScanLine {
    // 0 to 9 as words ("no", "one", … "nine"), larger counts in digits.
    static QString word(int n);
    // The sentence about `jobs` launchd jobs of which `gone` point at a
    // program that is no longer there (`gone` never exceeds `jobs`).
    static QString text(int jobs, int gone);
};

// "Title: on" or "Title: off" with a check disc or an empty ring, and the
// reason below.
class GrantRow : public QWidget {
    Q_OBJECT
public:
    GrantRow(bool dark, const QString& title, const QString& why, bool on, QWidget* parent = nullptr);

    bool isOn() const { return on_; }
    QString heading() const { return heading_->text(); }

private:
    bool on_;
    QLabel* heading_;
};

}  // namespace rk
