#pragma once
// The last page: nothing is left and nothing needs a restart; the app's own
// three permissions, each with a button to its System Settings page (and a
// line when nothing here opens System Settings); and a way back to the start.

#include <QUrl>

#include "ui/ModelPage.h"

namespace rk {

class DoneView : public ModelPage {
    Q_OBJECT
public:
    DoneView(AppModel& m, bool dark, QWidget* parent = nullptr);

    struct PermissionLink {
        QString title;
        QUrl link;
    };
    // The three permission buttons in order.
    static QList<PermissionLink> permissionLinks();

protected:
    void build(QVBoxLayout* body) override;

private:
    // The last permission button found nothing here to open System Settings:
    // a line under the buttons says so.
    bool openRefused_ = false;
};

}  // namespace rk
