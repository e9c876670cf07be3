#pragma once
// The content of the about window: the app's letter tile, its name, the
// version line (selectable, so it can be copied into a report), one sentence
// on what the app does and the maker's name. No state and no controls.
//
// Main thread only. The application delegate makes one for the about window
// and keeps it; made without a scheme it follows the desktop's between light
// and dark, as the main window does, and draws itself again on a switch.

#include <QWidget>

class QLabel;

namespace rk {

class AboutView final : public QWidget {
    Q_OBJECT

public:
    static constexpr int width = 360;
    static constexpr int height = 250;

    static QString title() { return QStringLiteral("Rowkeeper"); }
    static QString sentence() {
        return QStringLiteral(
            "Points at the leftovers in your privacy and startup lists. You make every change.");
    }
    static QString maker() { return QStringLiteral("Quillory Studios"); }

    // Follows the desktop's scheme.
    explicit AboutView(QWidget* parent = nullptr);
    // Drawn for one scheme, whatever the desktop's.
    AboutView(bool dark, QWidget* parent);

    bool dark() const { return dark_; }
    const QLabel* versionLabel() const { return version_; }

private:
    void build();
    void followDesktop();

    bool dark_;
    QLabel* version_ = nullptr;
};

}  // namespace rk
